#!/usr/bin/env bash
# Sets up, builds and starts the hiscore server (options as for build/blubbi-hiscore, docs/hiscore-server.md):
# the server, the runner that draws last frames, the game's data and the browser's game; no tests.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh server
cmake -S . -B build -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBLUBBI_TESTS=OFF -DBLUBBI_SERVER=ON >/dev/null
cmake --build build --target blubbi-hiscore blubbi-sim blubbi_web blubbi_pictures blubbi_sounds blubbi_levels
exec build/blubbi-hiscore "$@"
