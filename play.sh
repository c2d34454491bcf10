#!/usr/bin/env bash
# Sets up, builds and starts the game: only the game and its data, no tests, no server.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh play
cmake -S . -B build -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBLUBBI_TESTS=OFF -DBLUBBI_SERVER=OFF >/dev/null
cmake --build build --target blubbi blubbi_pictures blubbi_sounds blubbi_levels
exec build/blubbi "$@"
