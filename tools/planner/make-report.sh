#!/bin/sh
# Measures the built levels with blubbi-report and keeps what it says in docs/: the table as
# level-report.txt, the same as level-report.json (which the level gates in the tests read), and
# the contact sheet level-sheet.png. Usage: make-report.sh [-b BUILD]
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$here/build
if [ "${1:-}" = "-b" ]; then build=$2; shift 2; fi
report=$build/blubbi-report
[ -x "$report" ] || { echo "make-report: build blubbi-report first ($report)" >&2; exit 2; }
"$report" --data "$build" --proofs "$here/tests/replays" --sources "$here/assets/levels" \
  --json "$here/docs/level-report.json" --sheet "$here/docs/level-sheet.png" "$@" >"$here/docs/level-report.txt"
cat "$here/docs/level-report.txt"
