#!/usr/bin/env bash
# A picture drawn through a viewport is the middle of the picture drawn whole, pixel for pixel: the
# hiscore server draws every game's last frame at the game's own size, whatever box it was played in.
set -euo pipefail
sim=$1 data=$2
work=$(mktemp -d /tmp/blubbi-viewport.XXXXXX)
trap 'rm -rf "$work"' EXIT
printf 'down right\ntick 60\ndown space\ntick 3\nup space\ntick 20\n' >"$work/game.script"
"$sim" --data "$data" --size 1501x900 --record "$work/game.blubbi-replay" "$work/game.script" >/dev/null
printf 'png %s\n' "$work/whole.png" >"$work/whole.script"
printf 'png %s\n' "$work/view.png" >"$work/view.script"
"$sim" --data "$data" --replay "$work/game.blubbi-replay" "$work/whole.script"
"$sim" --data "$data" --viewport 681x425 --replay "$work/game.blubbi-replay" "$work/view.script"
[ "$(identify -format '%wx%h' "$work/view.png")" = 681x425 ] || { echo "the viewport's picture is not 681x425"; exit 1; }
convert "$work/whole.png" -crop 681x425+410+237 +repage "$work/middle.png"
differ=$(compare -metric AE "$work/middle.png" "$work/view.png" null: 2>&1 || true)
[ "$differ" = 0 ] || { echo "$differ pixels differ from the whole picture's middle"; exit 1; }
echo ok
