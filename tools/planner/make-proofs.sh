#!/bin/sh
# Writes the clearing scripts and their summaries in tests/replays/ anew: one per shipped level
# (or only the levels named) and the whole game; each summary ends with the check of the run's
# recorded replay (without the program's version). Usage: make-proofs.sh [-b BUILD] [N ...]
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$here/build
if [ "${1:-}" = "-b" ]; then build=$2; shift 2; fi
out=$here/tests/replays
planner=$build/blubbi-planner
sim=$build/blubbi-sim
[ -x "$planner" ] || { echo "make-proofs: build blubbi-planner first ($planner)" >&2; exit 2; }
[ -x "$sim" ] || { echo "make-proofs: build blubbi-sim first ($sim)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

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
    start=1
  else
    name=level$(printf %03d "$n")
    set -- --level "$n"
    start=$n
  fi
  "$planner" --data "$build" "$@" -o "$out/$name.script" --summary "$out/$name.expected" >/dev/null
  { cat "$out/$name.script"; echo dump; } >"$work/script"
  "$sim" --data "$build" --seed 1 --level "$start" --record "$work/replay" "$work/script" >/dev/null
  printf 'verify %s\n' "$("$sim" --data "$build" --verify "$work/replay" | jq -cS 'del(.Version)')" >>"$out/$name.expected"
done
