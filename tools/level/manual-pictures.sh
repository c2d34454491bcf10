#!/bin/sh
# Takes the pictures of the manual (docs/anleitung.html) from the game itself: trapping, floating
# and popping in level 1 as blubbi-sim plays it, and the four enemy kinds as blubbi-level draws
# them. The manual holds them inline. Usage: manual-pictures.sh [-b BUILD] OUTDIR
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$here/build
if [ "${1:-}" = "-b" ]; then build=$2; shift 2; fi
out=${1:?manual-pictures: name the folder for the pictures}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Seed 1 brings the walker down to the floor after 200 frames; a bubble spat then catches it.
cat >"$work/play" <<END
resize 475 380
tick 200
down space
tick
up space
tick 3
png $out/trap.png
tick 45
png $out/float.png
down right
tick 9
up right
down up
tick 6
up up
tick
png $out/pop.png
END
"$build/blubbi-sim" --data "$build" --level 1 --seed 1 "$work/play" >/dev/null

{
  echo "grid"
  echo "#########################"
  i=0
  while [ $i -lt 18 ]; do echo "#.......................#"; i=$((i + 1)); done
  echo "#########################"
  echo "enemy Feder on=2,19"
  echo "enemy Geist X=100 Y=300"
  echo "enemy BlauesMaennel on=10,19"
  echo "enemy RotesMonster on=14,19"
  echo "start on=20,19"
} >"$work/kinds.txt"
"$build/blubbi-level" from-text "$work/kinds.txt" -o "$work/kinds.lev"
"$build/blubbi-level" png "$work/kinds.lev" -o "$out/kinds.png"
