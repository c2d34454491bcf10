#!/bin/sh
# Writes the clearing scripts and their summaries in tests/replays/ anew: one per shipped level
# (or only the levels named) and the whole game. Usage: make-proofs.sh [-b BUILD] [N ...]
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$here/build
if [ "${1:-}" = "-b" ]; then build=$2; shift 2; fi
out=$here/tests/replays
planner=$build/blubbi-planner
[ -x "$planner" ] || { echo "make-proofs: build blubbi-planner first ($planner)" >&2; exit 2; }

levels="$*"
if [ -z "$levels" ]; then
  n=1
  while [ -f "$build/levels/level$(printf %03d $n).lev" ]; do levels="$levels $n"; n=$((n + 1)); done
  levels="$levels game"
fi
for n in $levels; do
  if [ "$n" = game ]; then
    name=wholegame
    set -- --game
  else
    name=level$(printf %03d "$n")
    set -- --level "$n"
  fi
  "$planner" --data "$build" "$@" -o "$out/$name.script" --summary "$out/$name.expected" >/dev/null
done
