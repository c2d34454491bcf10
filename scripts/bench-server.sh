#!/usr/bin/env bash
# Measures the hiscore server with wrk: the list page and the JSON list (by count and by an entry) with 10,000 stored scores and
# 50 clients at once, on 127.0.0.1. Prints the figures; passes or fails nothing.
# Usage: scripts/bench-server.sh [BUILD_DIR] [SECONDS]; with BLUBBI_TEST_POSTGRES_URL set (for example
# through scripts/with-postgres.sh) it measures the PostgreSQL store instead of SQLite. More options for
# the server can be given in BLUBBI_BENCH_ARGS, for example "--list-cache-ms 0" to measure without reuse.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-10}
cmake --build "$build" --target blubbi-hiscore blubbi-hiscore-seed >/dev/null
# shellcheck source=scripts/hiscore-server.sh
. scripts/hiscore-server.sh
work=$(mktemp -d /tmp/blubbi-bench.XXXXXX)
cleanup() {
  hiscore_stop
  rm -rf "$work"
}
trap cleanup EXIT

if [ -n "${BLUBBI_TEST_POSTGRES_URL:-}" ]; then
  db=$BLUBBI_TEST_POSTGRES_URL
else
  db="sqlite:$work/hiscore.sqlite"
fi
"$build/tests/blubbi-hiscore-seed" "$db" 10000
# wrk opens its 50 connections from one address.
# shellcheck disable=SC2086
hiscore_start "$work/server.log" "$build/blubbi-hiscore" --db "$db" --connections-per-address 100 --reads-per-minute 0 \
  ${BLUBBI_BENCH_ARGS:-}

# The keyset page after entry 5000 is not reused: it is what any page deep in the list costs.
for path in / "/api/scores" "/api/scores?limit=20&offset=5000" "/api/scores?limit=20&after=5000"; do
  echo "== GET $path (${db%%:*}, 50 connections, ${seconds}s${BLUBBI_BENCH_ARGS:+, $BLUBBI_BENCH_ARGS})"
  wrk -t2 -c50 -d"${seconds}s" --latency "$hiscore_url$path" | grep -E "Requests/sec|Latency|99%|Non-2xx|errors"
done
