#!/usr/bin/env bash
# Builds the fuzzers with clang (the level reader, the replay reader, the GIF and MIDI readers, the hiscore server's
# submission form), replays their corpora, then fuzzes each for SECONDS (default 60), as many at once as there are cores.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
# Optimised as libFuzzer's own advice has it, with line tables only: a crash still names its line,
# and the build costs far less than with full debugging information.
flags="-O1 -gline-tables-only -DNDEBUG"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" -DBLUBBI_GUI=OFF -DBLUBBI_CONTENT=OFF -DBLUBBI_BENCHMARKS=OFF -DBLUBBI_SANITIZE=ON -DBLUBBI_FUZZ=ON \
  -DBLUBBI_SKIP_TEST_PARTS="sound;tools;level" >/dev/null
cmake --build build-fuzz --target fuzz_level fuzz_replay fuzz_gif fuzz_midi fuzz_form
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
# Replay every seed once, then search from them; new finds go to a scratch folder. The fuzzers run
# side by side, one for each core, so each has its SECONDS of a core to itself; each one's output
# follows once it is done.
running=()
fuzz() {
  local name=$1 corpus=$2 max_len=$3
  mkdir -p "$work/$name"
  {
    "build-fuzz/fuzz/$name" -runs=0 "$corpus" &&
      "build-fuzz/fuzz/$name" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 "$work/$name" "$corpus"
  } >"$work/$name.log" 2>&1 &
  running+=("$!:$name")
  [ ${#running[@]} -lt "$(nproc)" ] || finish
}
# Waits for the fuzzer started first and shows what it said; a find fails the run.
finish() {
  local pid=${running[0]%%:*} name=${running[0]#*:} status=0
  running=("${running[@]:1}")
  wait "$pid" || status=$?
  cat "$work/$name.log"
  [ "$status" -eq 0 ] || { echo "fuzz: $name failed" >&2; exit "$status"; }
}
fuzz fuzz_level tests/fuzz/corpus 4096
fuzz fuzz_replay tests/fuzz/corpus-replay 16384
fuzz fuzz_gif tests/fuzz/corpus-gif 4096
fuzz fuzz_midi tests/fuzz/corpus-midi 16384
ASAN_OPTIONS=detect_leaks=0 fuzz fuzz_form tests/fuzz/corpus-form 8192
while [ ${#running[@]} -gt 0 ]; do finish; done
echo "fuzz: 5 passed, 0 failed"
