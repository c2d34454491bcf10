#!/usr/bin/env bash
# The game's start against a bare Qt main window with a menu, a label and a status bar: the time from
# exec to the window on the screen, under Xvfb with openbox, the two started in turn (so a busy moment
# of the machine falls on both alike), ROUNDS times each. Prints both medians and their ratio; it
# fails nothing. The game starts as a player's does, with its sound: SDL's disk driver stands in for
# the sound card. Usage: scripts/bench-start.sh [BUILD [ROUNDS]]  (BUILD as ./play.sh builds it: build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
rounds=${2:-21}
cmake --build "$build" --target blubbi blubbi-bare-window blubbi-start-timer >/dev/null

work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
display=:$((200 + RANDOM % 300))
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break || sleep 0.05; done
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
export QT_QPA_PLATFORM=xcb
timer=$build/bench/blubbi-start-timer
# One start of each to warm the caches, not counted.
"$timer" "$build/bench/blubbi-bare-window" >/dev/null
"$timer" "$build/blubbi" >/dev/null
for _ in $(seq "$rounds"); do
  "$timer" "$build/bench/blubbi-bare-window" >>"$work/bare"
  "$timer" "$build/blubbi" >>"$work/game"
done
median() { sort -n "$1" | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
bare=$(median "$work/bare")
game=$(median "$work/game")
echo "start to window, median of $rounds: bare Qt window $bare ms, the game $game ms; ratio $(awk -v g="$game" -v b="$bare" 'BEGIN {printf "%.2f", g / b}')"
