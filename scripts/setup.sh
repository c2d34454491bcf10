#!/usr/bin/env bash
# Installs what building, playing and testing Blubbi Blubbo need on Debian 12 (only what is missing).
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache clang-format clang-tidy shellcheck pkg-config clang libclang-rt-14-dev
  qt6-base-dev libxcb1-dev libqt6opengl6-dev qt6-qpa-plugins qt6-translations-l10n libgif-dev libsdl2-dev libsdl2-mixer-dev libfluidsynth-dev libsndfile1-dev libsmf-dev
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev
  fonts-liberation fonts-dejavu-core timgm6mb-soundfont
  xvfb xdotool imagemagick openbox desktop-file-utils appstream shared-mime-info
  libcpp-httplib-dev libboost-dev libutf8proc-dev zlib1g-dev libsqlite3-dev libpqxx-dev libssl-dev openssl postgresql-15 chromium curl wrk jq
  emscripten python3
)

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
