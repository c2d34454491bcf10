#!/usr/bin/env bash
# A game recorded with the installed data checks out with the build tree's, and the other way
# round: installing must carry every picture and level the game reads, byte for byte.
set -euo pipefail
cmake=$1 build=$2 sim=$3
work=$(mktemp -d /tmp/blubbi-installed-replays.XXXXXX)
trap 'rm -rf "$work"' EXIT

"$cmake" --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
# The launcher on the PATH links to the program, and the program reads its data beside itself.
installed=$(dirname "$(readlink -f "$work/prefix/bin/blubbi")")
for folder in grafiken levels; do
  [ -d "$installed/$folder" ] || { echo "no $folder/ beside the installed program in $installed"; exit 1; }
done

# Steps right, a bubble spat on the way, and on into level 1's walker: enough of the game to read
# pictures and level and to cost a life or two.
printf 'down right\ntick 150\ndown space\ntick 5\nup space\ntick 200\nup right\ntick 100\n' >"$work/game.script"

# `recorded_with` data, checked with `checked_with`: ok, and the same game data on both sides.
check() {
  local recorded_with=$1 checked_with=$2 replay="$work/$3.blubbi-replay"
  "$sim" --data "$recorded_with" --record "$replay" "$work/game.script" >/dev/null
  local said
  said=$("$sim" --data "$checked_with" --verify "$replay") || { echo "$3: $said"; exit 1; }
  case $said in
    *'"status":"ok"'*'"DataMatch":true'* | *'"DataMatch":true'*'"status":"ok"'*) echo "$3: $said" ;;
    *) echo "$3 does not check out: $said"; exit 1 ;;
  esac
}
check "$installed" "$build" installed-checked-with-build
check "$build" "$installed" build-checked-with-installed
echo ok
