#!/bin/sh
# Measures the built levels with blubbi-report and keeps what it says in docs/: the table as
# level-report.txt, the same as level-report.json (which the level gates in the tests read), and
# the contact sheet level-sheet.png. The planner's runs of levels unchanged since the last report
# are taken from it. Usage: make-report.sh [-b BUILD] [--fresh]
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$here/build
if [ "${1:-}" = "-b" ]; then build=$2; shift 2; fi
report=$build/blubbi-report
[ -x "$report" ] || { echo "make-report: build blubbi-report first ($report)" >&2; exit 2; }
json=$here/docs/level-report.json
earlier=$(mktemp)
trap 'rm -f "$earlier"' EXIT
if [ "${1:-}" = "--fresh" ] || [ ! -f "$json" ]; then echo '[]' >"$earlier"; else cp "$json" "$earlier"; fi
if [ "${1:-}" = "--fresh" ]; then shift; fi
"$report" --data "$build" --proofs "$here/tests/replays" --sources "$here/assets/levels" \
  --reuse "$earlier" --json "$json" --sheet "$here/docs/level-sheet.png" "$@" >"$here/docs/level-report.txt"
cat "$here/docs/level-report.txt"
