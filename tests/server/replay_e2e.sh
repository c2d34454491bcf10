#!/usr/bin/env bash
# The real server checks real replays: a recorded game over is taken with its points and picture,
# other points and an edited key line are refused.
set -euo pipefail
server=$1 sim=$2 data=$3
work=$(mktemp -d)
pid=""
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# Walking right into level 1's walker costs all three lives within 971 frames; the last one shows "Game Over".
printf 'down right\ntick 971\n' >"$work/game.script"
"$sim" --data "$data" --record "$work/game.blubbi-replay" "$work/game.script" >/dev/null
sed 's/^down right$/down left/' "$work/game.blubbi-replay" >"$work/edited.blubbi-replay"
cmp -s "$work/game.blubbi-replay" "$work/edited.blubbi-replay" && { echo "the edit changed nothing"; exit 1; }

"$server" --listen 127.0.0.1:0 --db "sqlite:$work/scores.sqlite" --data "$data" >"$work/log" 2>&1 &
pid=$!
port=""
for _ in $(seq 100); do
  port=$(grep -oE '127\.0\.0\.1:[0-9]+' "$work/log" | head -n1 | cut -d: -f2 || true)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { cat "$work/log"; exit 1; }
url="http://127.0.0.1:$port"

post() { curl -s -o "$work/answer" -w '%{http_code}' -F "name=$1" -F "punkte=$2" -F "replay=@$3" "$url/api/scores"; }

code=$(post Tester 7 "$work/game.blubbi-replay")
[ "$code" = 422 ] || { echo "other points than shown: $code $(cat "$work/answer")"; exit 1; }
code=$(post Tester 0 "$work/edited.blubbi-replay")
[ "$code" = 422 ] && grep -q 'Bild 40' "$work/answer" || { echo "edited replay: $code $(cat "$work/answer")"; exit 1; }
code=$(post Tester 0 "$work/game.blubbi-replay")
[ "$code" = 201 ] || [ "$code" = 200 ] || { echo "true game: $code $(cat "$work/answer")"; exit 1; }
grep -q '"verified":true' "$work/answer" && grep -q '"rank":1' "$work/answer" || { cat "$work/answer"; exit 1; }
id=$(grep -oE '"id":[0-9]+' "$work/answer" | cut -d: -f2)
curl -sf "$url/replays/$id.png" -o "$work/last.png"
[ "$(head -c 4 "$work/last.png" | tail -c 3)" = PNG ] || { echo "no picture"; exit 1; }
curl -sf "$url/replays/$id.blubbi-replay" | cmp - "$work/game.blubbi-replay"
echo ok
