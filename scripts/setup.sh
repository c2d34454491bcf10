#!/usr/bin/env bash
# Installs what Blubbi Blubbo needs on Debian 12 (only what is missing): `play` what building and
# playing the game needs (./play.sh), `server` that and the hiscore server with the browser's
# game (./hiscore.sh), `package` that and Debian's tools that make and check the packages
# (scripts/package.sh), `test` (the default) everything ./test.sh builds, checks, packages and runs.
set -euo pipefail
group=${1:-test}

play=(
  build-essential cmake ninja-build ccache pkg-config clang
  qt6-base-dev libxcb1-dev libqt6opengl6-dev qt6-qpa-plugins qt6-translations-l10n libgif-dev libsdl2-dev libsdl2-mixer-dev
  libfluidsynth-dev libsndfile1-dev libsmf-dev nlohmann-json3-dev libcli11-dev zlib1g-dev libssl-dev
  fonts-liberation fonts-dejavu-core timgm6mb-soundfont
)
server=(libboost-dev libutf8proc-dev libsqlite3-dev libpqxx-dev emscripten python3)
package=(debhelper lintian fakeroot dpkg-dev desktop-file-utils appstream systemd)
# The checks and the tests' own tools and servers.
test=(
  clang-format clang-tidy shellcheck libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool imagemagick openbox shared-mime-info
  libcpp-httplib-dev openssl postgresql-15 chromium curl wrk jq
)
case $group in
  play) packages=("${play[@]}") ;;
  server) packages=("${play[@]}" "${server[@]}") ;;
  package) packages=("${play[@]}" "${server[@]}" "${package[@]}") ;;
  test) packages=("${play[@]}" "${server[@]}" "${package[@]}" "${test[@]}") ;;
  *) echo "usage: scripts/setup.sh [play|server|package|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
