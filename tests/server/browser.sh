#!/usr/bin/env bash
# The hiscore list page in headless Chromium: entries with hostile names are shown as text, no
# script runs, and the page has its German headings. Usage: browser.sh SERVER CHROMIUM
set -euo pipefail
server=$1
chromium=$2
# shellcheck source=scripts/hiscore-server.sh
. "$(dirname "$0")/../../scripts/hiscore-server.sh"
work=$(mktemp -d /tmp/blubbi-browser.XXXXXX)
cleanup() {
  hiscore_stop
  rm -rf "$work"
}
trap cleanup EXIT

hiscore_start "$work/server.log" "$server" --db "sqlite:$work/hiscore.sqlite" --submissions-per-minute 0
base=$hiscore_url

submit() {
  printf '%s' "$3" >"$work/replay"
  curl -sS --noproxy '*' -o /dev/null -w '%{http_code}\n' --form-string "name=$1" --form-string "punkte=$2" \
    -F "replay=@$work/replay;filename=game.blubbi-replay" "$base/api/scores"
}
# Names that would be elements, and one that would change the title, if the page did not escape them.
[ "$(submit '<script>alert("x")</script>' 4711 'FAKE-REPLAY score=4711 level=5')" = 201 ]
[ "$(submit '<img src=x onerror=alert(1)>' 300 'FAKE-REPLAY score=300 level=2')" = 201 ]
[ "$(submit '<svg onload=document.title=1>' 20 'FAKE-REPLAY score=20 level=1')" = 201 ]
[ "$(submit 'Jörg Ämsig' 900 'FAKE-REPLAY score=900 level=3 editor=1')" = 201 ]

browse() {
  "$chromium" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --no-proxy-server --user-data-dir="$work/profile-$1" \
    --virtual-time-budget=3000 "${@:2}" 2>>"$work/chromium.log"
}
browse dom --dump-dom "$base/showhi.php" >"$work/dom.html"
browse shot --screenshot="$work/page.png" --window-size=1100,600 "$base/" || true

fail() {
  echo "browser: $1"
  cat "$work/dom.html"
  exit 1
}
grep -q '<title>Blubbi Blubbo – Hiscoreliste</title>' "$work/dom.html" || fail "the title changed"
grep -q '&lt;script&gt;alert("x")&lt;/script&gt;' "$work/dom.html" || fail "script name not shown as text"
grep -q '&lt;img src=x onerror=alert(1)&gt;' "$work/dom.html" || fail "img name not shown as text"
grep -q '&lt;svg onload=document.title=1&gt;' "$work/dom.html" || fail "svg name not shown as text"
! grep -q '<script' "$work/dom.html" || fail "a script element is in the page"
! grep -q '<svg\|src="x"' "$work/dom.html" || fail "an injected element is in the page"
for text in Platz Name Punkte Level Datum Geprüft 'Jörg Ämsig' 'ohne Platz: Level-Editor benutzt' '1.' 4711; do
  grep -q "$text" "$work/dom.html" || fail "missing: $text"
done
# Ranks in order: 4711 first, 300 second, 20 third, the editor game without a place.
[ "$(grep -o '<td class="zahl">[0-9–]*\.\?</td><td class="name">' "$work/dom.html" | sed 's/<[^>]*>//g' | tr '\n' ' ')" = \
  "1. 2. 3. – " ] || fail "places are not 1., 2., 3., –"

# The screenshot is a picture of the page, not an empty one.
[ -s "$work/page.png" ] || fail "no screenshot"
read -r width height colours < <(identify -format '%w %h %k\n' "$work/page.png")
[ "$width" = 1100 ] && [ "$height" = 600 ] || fail "screenshot is ${width}x$height"
[ "$colours" -gt 8 ] || fail "screenshot is nearly blank ($colours colours)"
if [ -n "${BLUBBI_KEEP_SCREENSHOT:-}" ]; then cp "$work/page.png" "$BLUBBI_KEEP_SCREENSHOT"; fi
echo "browser: page checked in $("$chromium" --version 2>/dev/null | head -1)"
