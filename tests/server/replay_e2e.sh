#!/usr/bin/env bash
# The real server checks real replays: a recorded game over is taken with its points and picture, once
# whatever its text; a game begun on level 2 is taken without a place;
# other points and an edited key line are refused.
set -euo pipefail
server=$1 sim=$2 data=$3
# shellcheck source=scripts/hiscore-server.sh
. "$(dirname "$0")/../../scripts/hiscore-server.sh"
work=$(mktemp -d /tmp/blubbi-replay-e2e.XXXXXX)
cleanup() {
  hiscore_stop
  rm -rf "$work"
}
trap cleanup EXIT

# Walking right into level 1's walker costs all three lives within 1507 frames; the last one shows "Game Over".
lost=1507
printf 'down right\ntick %s\n' "$lost" >"$work/game.script"
"$sim" --data "$data" --record "$work/game.blubbi-replay" "$work/game.script" >/dev/null
sed 's/^down right$/down left/' "$work/game.blubbi-replay" >"$work/edited.blubbi-replay"
cmp -s "$work/game.blubbi-replay" "$work/edited.blubbi-replay" && { echo "the edit changed nothing"; exit 1; }

# The same play begun a millisecond later, and with a pause at its start that moves nothing.
"$sim" --data "$data" --clock 100001 --record "$work/later.blubbi-replay" "$work/game.script" >/dev/null
printf 'pause on\npause off\ndown right\ntick %s\n' "$lost" >"$work/paused.script"
"$sim" --data "$data" --record "$work/paused.blubbi-replay" "$work/paused.script" >/dev/null
# A clock that stands still: its ticks would freeze the game's time.
sed '0,/^tick/s/^tick \([0-9]*\)$/tick \1 +0/' "$work/game.blubbi-replay" >"$work/frozen.blubbi-replay"
frozen_line=$(grep -n '+0$' "$work/frozen.blubbi-replay" | head -1 | cut -d: -f1)

# The burst leaves room for the drawing of the game's picture, which is charged as its check is.
hiscore_start "$work/log" "$server" --db "sqlite:$work/scores.sqlite" --data "$data" --burst 60
url=$hiscore_url

post() { curl -s --noproxy '*' -o "$work/answer" -w '%{http_code}' -F "name=$1" -F "punkte=$2" -F "replay=@$3" "$url/api/scores"; }

code=$(post Tester 7 "$work/game.blubbi-replay")
[ "$code" = 422 ] || { echo "other points than shown: $code $(cat "$work/answer")"; exit 1; }
code=$(post Tester 0 "$work/edited.blubbi-replay")
[ "$code" = 422 ] && grep -q 'Bild 40' "$work/answer" || { echo "edited replay: $code $(cat "$work/answer")"; exit 1; }
code=$(post Tester 0 "$work/game.blubbi-replay")
[ "$code" = 201 ] || [ "$code" = 200 ] || { echo "true game: $code $(cat "$work/answer")"; exit 1; }
grep -q '"verified":true' "$work/answer" && grep -q '"rank":1' "$work/answer" || { cat "$work/answer"; exit 1; }
id=$(grep -oE '"id":[0-9]+' "$work/answer" | cut -d: -f2)
# The last frame is drawn right after the check, on a thread of its own: it comes.
for _ in $(seq 100); do curl -sf --noproxy '*' "$url/replays/$id.png" -o "$work/last.png" && break; sleep 0.2; done
[ "$(head -c 4 "$work/last.png" | tail -c 3)" = PNG ] || { echo "no picture"; exit 1; }
curl -sf --noproxy '*' "$url/replays/$id.blubbi-replay" | cmp - "$work/game.blubbi-replay"

# The same game with a comment and other line ends is the one entry: its sender finds it, anyone else
# is refused.
{ echo '# meins'; sed 's/$/\r/' "$work/game.blubbi-replay"; } >"$work/copy.blubbi-replay"
code=$(post Tester 0 "$work/copy.blubbi-replay")
[ "$code" = 200 ] && grep -q "\"id\":$id," "$work/answer" || { echo "copy, same name: $code $(cat "$work/answer")"; exit 1; }
code=$(post Kopierer 0 "$work/copy.blubbi-replay")
[ "$code" = 409 ] || { echo "copy, other name: $code $(cat "$work/answer")"; exit 1; }
for copy in later paused; do
  cmp -s "$work/$copy.blubbi-replay" "$work/game.blubbi-replay" && { echo "$copy: the same bytes"; exit 1; }
  code=$(post Tester 0 "$work/$copy.blubbi-replay")
  [ "$code" = 200 ] && grep -q "\"id\":$id," "$work/answer" || { echo "$copy: $code $(cat "$work/answer")"; exit 1; }
done
code=$(post Tester 0 "$work/frozen.blubbi-replay")
[ "$code" = 400 ] && grep -q "Zeile $frozen_line: Die Uhr läuft schneller" "$work/answer" ||
  { echo "frozen clock, line $frozen_line: $code $(cat "$work/answer")"; exit 1; }
# A game begun on another level than 1 is taken, checked, without a place.
printf 'down left\ntick 1492\n' >"$work/level2.script"
"$sim" --data "$data" --level 2 --record "$work/level2.blubbi-replay" "$work/level2.script" >/dev/null
code=$(post Tester 0 "$work/level2.blubbi-replay")
[ "$code" = 201 ] && grep -q '"ranked":false' "$work/answer" && grep -q 'Level 1' "$work/answer" ||
  { echo "level 2 start: $code $(cat "$work/answer")"; exit 1; }
# Each request is a line of the log, a checked one with its verdict and the check's time.
grep -qE '^127\.0\.0\.1 POST /api/scores 201 ranked [0-9]+ms$' "$work/log" &&
  grep -qE '^127\.0\.0\.1 POST /api/scores 422 refused [0-9]+ms$' "$work/log" || { cat "$work/log"; exit 1; }
# The operator's view: the database answers, and the counts add up to what happened above.
curl -sf --noproxy '*' "$url/healthz" | grep -q '"database":true' || { echo "healthz"; exit 1; }
curl -sf --noproxy '*' "$url/metrics" >"$work/metrics"
grep -qx 'blubbi_requests_total{route="/api/scores",status="201"} 2' "$work/metrics" &&
  grep -qx 'blubbi_checks_total{verdict="ranked"} 1' "$work/metrics" &&
  grep -qx 'blubbi_checks_total{verdict="unranked"} 1' "$work/metrics" || { cat "$work/metrics"; exit 1; }
echo ok
