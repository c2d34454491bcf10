#!/usr/bin/env bash
# Builds the fuzzers with clang (the level reader, the replay reader, the GIF and MIDI readers, the hiscore server's
# submission form), replays their corpora, then fuzzes each for SECONDS (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBLUBBI_GUI=OFF -DBLUBBI_CONTENT=OFF -DBLUBBI_BENCHMARKS=OFF -DBLUBBI_SANITIZE=ON -DBLUBBI_FUZZ=ON \
  -DBLUBBI_SKIP_TEST_PARTS="sound;tools;level" >/dev/null
cmake --build build-fuzz --target fuzz_level fuzz_replay fuzz_gif fuzz_midi fuzz_form
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Replay every seed once, then search from them; new finds go to a scratch folder.
fuzz() {
  local name=$1 corpus=$2 max_len=$3
  mkdir -p "$work/$name"
  "build-fuzz/fuzz/$name" -runs=0 "$corpus"
  "build-fuzz/fuzz/$name" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 "$work/$name" "$corpus"
}
fuzz fuzz_level tests/fuzz/corpus 4096
fuzz fuzz_replay tests/fuzz/corpus-replay 16384
fuzz fuzz_gif tests/fuzz/corpus-gif 4096
fuzz fuzz_midi tests/fuzz/corpus-midi 16384
ASAN_OPTIONS=detect_leaks=0 fuzz fuzz_form tests/fuzz/corpus-form 8192
echo "fuzz: 5 passed, 0 failed"
