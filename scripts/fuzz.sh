#!/usr/bin/env bash
# The fuzzers of what the game and the server read from outside (the level reader, the replay reader,
# the GIF and MIDI readers, the hiscore server's submission form): replays their corpora, then fuzzes
# each, as many at once as there are cores.
# Usage: scripts/fuzz.sh [SECONDS [BUILD]]. SECONDS (default 60) is what the replay and form readers
# get (0: the corpora only, as ./test.sh quick runs them); BUILD is a tree configured with clang, -DBLUBBI_SANITIZE=ON and -DBLUBBI_FUZZ=ON whose fuzzers
# are already built (./test.sh's); without it they are built in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${2:-}
if [ -z "$build" ]; then
  build="build-fuzz"
  # Optimised as libFuzzer's own advice has it, with line tables only: a crash still names its line,
  # and the build costs far less than with full debugging information.
  flags="-O1 -gline-tables-only -DNDEBUG"
  cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" -DBLUBBI_GUI=OFF -DBLUBBI_CONTENT=OFF \
    -DBLUBBI_BENCHMARKS=OFF -DBLUBBI_SANITIZE=ON -DBLUBBI_FUZZ=ON -DBLUBBI_SKIP_TEST_PARTS="sound;tools;level" >/dev/null
  cmake --build "$build" --target fuzz_level fuzz_replay fuzz_gif fuzz_midi fuzz_form
fi
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
# Replay every seed once, then search from them; new finds go to a scratch folder. Each fuzzer has
# its time of a core to itself; each one's output follows once it is done.
declare -A running=()
fuzz() {
  local name=$1 corpus=$2 max_len=$3 time=$4
  [ "$time" -gt 0 ] || time=1 # libFuzzer reads 0 as no limit at all
  mkdir -p "$work/$name"
  {
    "$build/fuzz/$name" -runs=0 "$corpus" &&
      if [ "$seconds" -gt 0 ]; then
        "$build/fuzz/$name" -max_total_time="$time" -max_len="$max_len" -timeout=10 "$work/$name" "$corpus"
      fi
  } >"$work/$name.log" 2>&1 &
  running[$!]=$name
  [ ${#running[@]} -lt "$(nproc)" ] || finish
}
# Waits for whichever fuzzer ends first and shows what it said; a find fails the run.
finish() {
  local pid status=0 name
  wait -n -p pid "${!running[@]}" || status=$?
  name=${running[$pid]}
  unset "running[$pid]"
  cat "$work/$name.log"
  [ "$status" -eq 0 ] || { echo "fuzz: $name failed" >&2; exit "$status"; }
}
# Each gets the time in which its coverage still grew when last measured (two cores, a minute
# each): the replay and form readers still found new paths at the end of the minute, the level
# reader stopped after 20 s, the GIF and MIDI readers after 10 s. The longest start first.
fuzz fuzz_replay tests/fuzz/corpus-replay 16384 "$seconds"
ASAN_OPTIONS=detect_leaks=0 fuzz fuzz_form tests/fuzz/corpus-form 8192 "$seconds"
fuzz fuzz_level tests/fuzz/corpus 4096 $((seconds / 2))
fuzz fuzz_gif tests/fuzz/corpus-gif 4096 $((seconds / 6))
fuzz fuzz_midi tests/fuzz/corpus-midi 16384 $((seconds / 6))
while [ ${#running[@]} -gt 0 ]; do finish; done
echo "fuzz: 5 passed, 0 failed"
