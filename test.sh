#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build, then once more under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
# The hiscore server's tests need a PostgreSQL server besides SQLite: the ctest runs go through
# scripts/with-postgres.sh, which starts a throwaway one and stops it afterwards.
scripts/with-postgres.sh ctest --test-dir build --output-on-failure -j "$jobs"

# AddressSanitizer and UndefinedBehaviorSanitizer over the same tests (no benchmarks).
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBLUBBI_SANITIZE=ON -DBLUBBI_BENCHMARKS=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  scripts/with-postgres.sh ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE no-sanitize

# The level reader's fuzzer: replay the corpus, then fuzz for a short while.
scripts/fuzz.sh 60
