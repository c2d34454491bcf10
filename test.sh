#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build, then once more under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

# The house style: every tracked C++ file exactly as clang-format (.clang-format) writes it.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
# The shell scripts as shellcheck reads them, warnings and errors (their directives name what they source).
git ls-files -z '*.sh' | xargs -0 shellcheck -S warning -x .ci/run

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
# The core, the helpers beneath it, the platforms, graphics, sound, the hiscore server and the runner through clang-tidy
# (.clang-tidy) with the build's compile commands; any finding fails.
git ls-files -z 'base/*.cpp' 'game/*.cpp' 'level/*.cpp' 'platform/*.cpp' 'gfx/*.cpp' 'sound/*.cpp' 'server/*.cpp' 'tools/sim/*.cpp' |
  xargs -0 -n 1 -P "$jobs" clang-tidy -p build --quiet 2> >(grep -v ' warnings generated\.$' >&2)
# A test that fails runs once more, named in the log; one that fails twice fails the run. The leak
# checker's own stopping of threads can crash as a program under X exits ("Tracer caught signal 11"),
# a fault of the tool's, rare but real; so can a window test on a machine busy with other work.
ctest_twice() { ctest "$@" || { echo "test.sh: the failed tests once more" >&2; ctest "$@" --rerun-failed; }; }
export -f ctest_twice

# The hiscore server's tests need a PostgreSQL server besides SQLite: the ctest runs go through
# scripts/with-postgres.sh, which starts a throwaway one and stops it afterwards.
scripts/with-postgres.sh bash -c 'ctest_twice "$@"' _ --test-dir build --output-on-failure -j "$jobs"

# AddressSanitizer and UndefinedBehaviorSanitizer over the same tests (no benchmarks), leak
# checking included; the tests that start Qt bring their one exception along (tests/lsan.supp).
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBLUBBI_SANITIZE=ON -DBLUBBI_BENCHMARKS=OFF >/dev/null
cmake --build build-asan -j "$jobs"
UBSAN_OPTIONS=print_stacktrace=1 \
  scripts/with-postgres.sh bash -c 'ctest_twice "$@"' _ --test-dir build-asan --output-on-failure -j "$jobs" -LE no-sanitize

# The level reader's fuzzer: replay the corpus, then fuzz for a short while.
scripts/fuzz.sh 60
