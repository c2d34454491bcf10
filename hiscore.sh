#!/usr/bin/env bash
# Sets up, builds and starts the hiscore server (options as for build/blubbi-hiscore, docs/hiscore-server.md).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
exec build/blubbi-hiscore "$@"
