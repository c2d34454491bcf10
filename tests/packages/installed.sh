#!/usr/bin/env bash
# The Debian packages installed for real, used and removed as a player and an operator would: the
# installed runner clears level 1 with its proof, the installed server (as its own user, with the
# service's settings) answers /healthz, checks a game, serves /play, is backed up and restored;
# removing the game leaves the player's files, removing the server keeps its scores, purging
# removes them. Root on a throwaway machine only (./test.sh). Usage: installed.sh DEBDIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
debdir=$(cd "$1" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "installed: needs root (it installs the packages)" >&2; exit 1; }
for p in blubbi-blubbo blubbi-hiscore; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q installed; then
    echo "installed: $p is installed already; this test wants a machine without it" >&2
    exit 1
  fi
done
version=$(sed -n 's/^project(BlubbiBlubbo VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
# shellcheck source=scripts/hiscore-server.sh
. "$root/scripts/hiscore-server.sh"
work=$(mktemp -d /tmp/blubbi-installed.XXXXXX)
chmod 755 "$work"
cleanup() {
  hiscore_stop
  dpkg --purge blubbi-blubbo blubbi-hiscore >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "installed: $*" >&2; exit 1; }

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "$debdir/blubbi-blubbo_${version}_"*.deb "$debdir/blubbi-hiscore_${version}_"*.deb >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "the packages do not install"; }

# Every program says the project's version.
export QT_QPA_PLATFORM=offscreen
for program in /usr/games/blubbi /usr/games/blubbi-sim /usr/games/blubbi-level /usr/sbin/blubbi-hiscore; do
  said=$("$program" --version)
  [ "${said##* }" = "$version" ] || fail "$program --version says \"$said\", not $version"
done
[ "$(dpkg-query -W -f='${Version}' blubbi-hiscore)" = "$version" ] || fail "the package's version is not $version"

# The proof of level 1 through the installed runner and data, checked as the tests check it.
{ cat "$root/tests/replays/level001.script"; echo dump; } >"$work/level001.script"
(cd "$work" && /usr/games/blubbi-sim --seed 1 --level 1 --record level001.blubbi-replay level001.script >/dev/null)
expected=$(sed -n 's/^verify //p' "$root/tests/replays/level001.expected")
said=$(/usr/games/blubbi-sim --verify "$work/level001.blubbi-replay" | jq -cS 'del(.Version)')
[ "$said" = "$expected" ] || fail "level 1's proof: $said, not $expected"

# The server as its unit starts it: its settings, its user, its store; on a free port here.
# shellcheck source=/dev/null
. /etc/default/blubbi-hiscore
[ -d /var/lib/blubbi-hiscore ] && [ "$(stat -c %U /var/lib/blubbi-hiscore)" = blubbi-hiscore ] ||
  fail "/var/lib/blubbi-hiscore is not the server's"
# Where systemd runs the machine, the package started the service, hardening and all: it answers, and
# then makes way for the server started here.
if [ -d /run/systemd/system ]; then
  systemctl is-active --quiet blubbi-hiscore || fail "the service did not start: $(systemctl status blubbi-hiscore)"
  for _ in $(seq 50); do curl -sf --noproxy '*' "http://$LISTEN/healthz" >/dev/null && break; sleep 0.2; done
  curl -sf --noproxy '*' "http://$LISTEN/healthz" | jq -e '.status == "ok"' >/dev/null || fail "the service does not answer"
  systemctl stop blubbi-hiscore
fi
as_server=(setpriv --reuid=blubbi-hiscore --regid=blubbi-hiscore --init-groups --)
start_server() { hiscore_start "$work/server.log" "${as_server[@]}" /usr/lib/blubbi-hiscore/blubbi-hiscore --db "$DB"; }
start_server
get() { curl -sf --noproxy '*' "$hiscore_url$1"; }
get /healthz | jq -e --arg v "$version" '.status == "ok" and .version == $v' >/dev/null || fail "healthz: $(get /healthz)"
# Walking right into level 1's walker ends the game with no points (the server takes game overs only).
printf 'down right\ntick 1507\n' >"$work/gameover.script"
(cd "$work" && /usr/games/blubbi-sim --record gameover.blubbi-replay gameover.script >/dev/null)
code=$(curl -s --noproxy '*' -o "$work/answer" -w '%{http_code}' -F name=Paket -F punkte=0 \
  -F "replay=@$work/gameover.blubbi-replay" "$hiscore_url/api/scores")
[ "$code" = 201 ] && jq -e '.verified and .rank == 1' "$work/answer" >/dev/null || fail "the game: $code $(cat "$work/answer")"
get /play >"$work/play.html" || fail "no /play"
script=$(grep -o '/web/play-[0-9a-f]*\.js' "$work/play.html") || fail "/play names no script"
get "$script" >/dev/null || fail "$script is not served"

# A backup while the server runs, and the store restored from it.
"${as_server[@]}" /usr/sbin/blubbi-hiscore --db "$DB" --backup /var/lib/blubbi-hiscore/backup.sqlite >/dev/null
hiscore_stop
store=${DB#sqlite:}
rm -f "$store" "$store-wal" "$store-shm"
"${as_server[@]}" cp /var/lib/blubbi-hiscore/backup.sqlite "$store"
start_server
get /api/scores | grep -q '"name":"Paket"' || fail "the restored store lacks the entry: $(get /api/scores)"
hiscore_stop

# The player's own files stay when the game goes.
home=$work/home
mkdir -p "$home/.config/Blubbi Blubbo" "$home/.local/share/Blubbi Blubbo/replays"
echo "zoom=2" >"$home/.config/Blubbi Blubbo/blubbi.conf"
cp "$work/level001.blubbi-replay" "$home/.local/share/Blubbi Blubbo/replays/"
dpkg --remove blubbi-blubbo >/dev/null
[ ! -e /usr/games/blubbi ] || fail "blubbi stays after removal"
[ -f "$home/.config/Blubbi Blubbo/blubbi.conf" ] && [ -f "$home/.local/share/Blubbi Blubbo/replays/level001.blubbi-replay" ] ||
  fail "removing the game took the player's files"

# Removing the server keeps its scores; purging removes them and its settings.
dpkg --remove blubbi-hiscore >/dev/null
[ -f "$store" ] || fail "removing the server took its store"
[ ! -e /usr/lib/blubbi-hiscore ] || fail "the server's program stays after removal"
dpkg --purge blubbi-hiscore >/dev/null
[ ! -e /var/lib/blubbi-hiscore ] && [ ! -e /etc/default/blubbi-hiscore ] || fail "purging left the server's data"
echo "installed: ok"
