#!/usr/bin/env bash
# Sets up, builds and runs every test, under the sanitizers, and the fuzzers.
# `./test.sh quick` is the developer's loop: the same build, the checks of what changed against main
# (format, clang-tidy), the tests without the label `slow` and the fuzzers on their corpora only.
set -euo pipefail
cd "$(dirname "$0")"
mode=${1:-full}
case $mode in
  full | quick) ;;
  *)
    echo "usage: $0 [quick]" >&2
    exit 2
    ;;
esac

# Each phase says at its end how long it took, on the clock and in processor time (its processes').
phase_times=()
cpu_ticks() {
  local stat f
  read -r stat </proc/$$/stat
  read -r -a f <<<"${stat##*) }"
  echo $((f[13] + f[14]))
}
phase() {
  local name=$1 start=$SECONDS ticks line
  shift
  ticks=$(cpu_ticks)
  "$@"
  line="phase $name: $((SECONDS - start)) s (CPU $((($(cpu_ticks) - ticks) / $(getconf CLK_TCK))) s)"
  echo "$line"
  phase_times+=("$line")
}

phase setup scripts/setup.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

# The files a quick run checks: those changed against main (BLUBBI_BASE names another), committed
# or not, and new ones git does not ignore; every tracked one in the full run. Arguments: git pathspecs.
files() {
  if [ "$mode" = full ]; then
    git ls-files -z -- "$@"
    return
  fi
  local base
  base=$(git merge-base HEAD "${BLUBBI_BASE:-main}" 2>/dev/null || git rev-parse HEAD)
  { git diff -z --name-only --diff-filter=d "$base" -- "$@" && git ls-files -z --others --exclude-standard -- "$@"; } |
    sort -zu
}

# The house style: every tracked C++ file exactly as clang-format (.clang-format) writes it.
format() {
  files '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror
  # The shell scripts as shellcheck reads them, warnings and errors (their directives name what they source).
  { files '*.sh' && printf '.ci/run\0'; } | xargs -0 shellcheck -S warning -x
}
phase format format

# One build for every check: clang with AddressSanitizer and UndefinedBehaviorSanitizer (leak
# checking included) and libFuzzer's coverage, optimised lightly, with line tables for the reports.
# Every test runs once, in it; the fuzzers are built in it too. The game itself (./play.sh) is built
# by the same compiler, so nothing compiles here that would not there.
build() {
  local flags="-O1 -gline-tables-only"
  cmake -S . -B build-check -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" \
    -DBLUBBI_SANITIZE=ON -DBLUBBI_FUZZ=ON -DBLUBBI_WERROR=ON >/dev/null
  cmake --build build-check -j "$jobs"
}
phase build build
# The core, the helpers beneath it, the platforms, graphics, sound, the hiscore server, the runner and
# the picture and browser-data builders through clang-tidy (.clang-tidy) with the build's compile
# commands; any finding fails.
tidy() {
  files 'base/*.cpp' 'game/*.cpp' 'level/*.cpp' 'platform/*.cpp' 'gfx/*.cpp' 'sound/*.cpp' 'server/*.cpp' \
    'tools/sim/*.cpp' 'tools/make-sheets/*.cpp' 'tools/web-data/*.cpp' |
    xargs -0 -r -n 1 -P "$jobs" clang-tidy -p build-check --quiet 2> >(grep -v ' warnings generated\.$' >&2)
}
phase tidy tidy
# A test that fails runs once more, named in the log; one that fails twice fails the run. The leak
# checker's own stopping of threads can crash as a program under X exits ("Tracer caught signal 11"),
# a fault of the tool's, rare but real; so can a window test on a machine busy with other work.
ctest_twice() { ctest "$@" || { echo "test.sh: the failed tests once more" >&2; ctest "$@" --rerun-failed; }; }
export -f ctest_twice

# The hiscore server's tests need a PostgreSQL server besides SQLite: the ctest run goes through
# scripts/with-postgres.sh, which starts a throwaway one and stops it afterwards. Each test program
# runs whole under the sanitizers (tests/CMakeLists.txt); the tests that start Qt bring their one
# exception to the leak checker along (tests/lsan.supp). One test more at a time than there are
# cores: the window's tests mostly wait on what it shows.
# A quick run leaves out the tests labelled slow: the real window under X, Chromium, the proofs of the
# levels and what must sound in real time.
selection=()
[ "$mode" = full ] || selection=(--label-exclude slow)
UBSAN_OPTIONS=print_stacktrace=1 \
  phase test scripts/with-postgres.sh bash -c 'ctest_twice "$@"' _ --test-dir build-check --output-on-failure \
  -j "$((jobs + 1))" "${selection[@]}"

# The fuzzers of what the game and the server read from outside: their corpora, then up to a minute
# each; a quick run replays the corpora only.
fuzz_seconds=60
[ "$mode" = full ] || fuzz_seconds=0
phase fuzz scripts/fuzz.sh "$fuzz_seconds" build-check

# The Debian packages as Debian builds and checks them (GCC, debhelper, lintian ...), then installed,
# used and removed for real: as root only, which CI is on its throwaway machine. Not in a quick run.
packages() {
  scripts/package.sh build-deb
  if [ "$(id -u)" -eq 0 ]; then tests/packages/installed.sh build-deb; else echo "packages: not root, not installed"; fi
}
if [ "$mode" = full ]; then phase packages packages; fi

printf '%s\n' "${phase_times[@]}"
