#!/usr/bin/env bash
# Measures what a flood of cheap, dear submissions costs the hiscore server: 60 packed uploads at once of
# a game that opens a level of 120,000 enemies (some 50 KB packed, 7 MB unpacked), and beside them a
# real game whose check is timed; then the server's own accounting and its peak memory. Prints the
# figures; passes or fails nothing. Usage: scripts/bench-submissions.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target blubbi-hiscore blubbi-sim blubbi-level >/dev/null
# shellcheck source=scripts/hiscore-server.sh
. scripts/hiscore-server.sh
work=$(mktemp -d /tmp/blubbi-flood.XXXXXX)
cleanup() {
  hiscore_stop
  rm -rf "$work"
}
trap cleanup EXIT

# The real game: walking right into level 1's walker until the game is over.
printf 'down right\ntick 971\n' >"$work/game.script"
"$build/blubbi-sim" --data "$build" --record "$work/game.blubbi-replay" "$work/game.script" >/dev/null
# The dear one: the same start, then "Level öffnen..." of a level with 120,000 enemies.
enemies() {
  { cat assets/levels/level001.txt
    for _ in $(seq "$1"); do echo 'enemy BlauesMaennel on=17,15'; done; } >"$work/crowd.txt"
  "$build/blubbi-level" from-text "$work/crowd.txt" -o "$work/crowd.lev" >/dev/null
  { sed '/^start$/q' "$work/game.blubbi-replay"
    printf 'menu Levelffnen1Click\nanswer open data %s\ntick 40\ncheck 40 %s\nend 40 %s\n' \
      "$(base64 -w0 "$work/crowd.lev")" 0000000000000000 0000000000000000; } | gzip -9 >"$2"
}
enemies 120000 "$work/crowd.gz"
enemies 60000 "$work/half.gz"
echo "packed: $(stat -c %s "$work/crowd.gz") bytes (120,000 enemies), $(stat -c %s "$work/half.gz") bytes (60,000)"

# No rate limit: the budgets alone must hold.
hiscore_start "$work/server.log" "$build/blubbi-hiscore" --db "sqlite:$work/scores.sqlite" --data "$build" \
  --submissions-per-minute 0 --connections-per-address 200
pid=$hiscore_pid
rss() { awk '/^VmRSS/ {print $2 / 1024 " MB"}' "/proc/$pid/status"; }
echo "before: $(rss)"
post() { curl -s --noproxy '*' -o /dev/null -w '%{http_code}\n' -F "name=$1" -F "punkte=$2" -F "replay=@$3" "$hiscore_url/api/scores"; }
flood=()
for i in $(seq 60); do
  if [ $((i % 2)) = 0 ]; then post "Flut$i" 0 "$work/crowd.gz"; else post "Flut$i" 0 "$work/half.gz"; fi >>"$work/codes" &
  flood+=($!)
done
sleep 0.5
start=$(date +%s%N)
code=$(post Echt 0 "$work/game.blubbi-replay")
echo "the real game beside them: $code in $((($(date +%s%N) - start) / 1000000)) ms"
wait "${flood[@]}"
echo "the flood's answers: $(sort "$work/codes" | uniq -c | tr '\n' ' ')"
awk '/^VmHWM/ {print "peak: " $2 / 1024 " MB"}' "/proc/$pid/status"
echo "after: $(rss)"
grep -E 'POST /api/scores' "$work/server.log" | awk '{print $4, $5}' | sort | uniq -c
