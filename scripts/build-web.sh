#!/usr/bin/env bash
# The game for the browser: the core, the replay library and the browser's platform compiled by
# Debian's emscripten into BUILD/web, with the game's data (blubbi-web-data, built natively in BUILD)
# and the pages' scripts. Every file is named by its content's hash; BUILD/web/manifest lists them
# for the hiscore server. Usage: scripts/build-web.sh [BUILD]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=$build/web
objects=$build/web-objects
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
command -v em++ >/dev/null || { echo "build-web: em++ is missing (scripts/setup.sh installs emscripten)" >&2; exit 1; }
start=$(date +%s.%N)
cpu_before=$(awk '{print $14 + $15 + $16 + $17}' /proc/$$/stat)
mkdir -p "$objects/include" "$out.new"
ln -sfn /usr/include/nlohmann "$objects/include/nlohmann"
version=$(sed -n 's/^project(BlubbiBlubbo VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

sources=("$root"/game/*.cpp "$root"/level/*.cpp "$root"/base/Files.cpp "$root"/base/Version.cpp "$root"/base/Sha256Portable.cpp "$root"/base/Base64Portable.cpp
  "$root"/web/Sha256Browser.cpp "$root"/platform/headless/NullPlatform.cpp "$root"/platform/replay/ReplayFormat.cpp
  "$root"/platform/replay/Replay.cpp "$root"/platform/replay/Carry.cpp "$root"/platform/replay/EventLines.cpp
  "$root"/gfx/Sprites.cpp "$root"/gfx/PreparedSheets.cpp "$root"/web/Bundle.cpp "$root"/web/WebPicture.cpp
  "$root"/web/WebGame.cpp)
flags=(-std=c++20 -O2 -mbulk-memory -msimd128 -Wall -Wextra -I"$root" -isystem "$objects/include" -DBLUBBI_VERSION="\"$version\"")
# Each object again only when its source or a header is newer.
compile() {
  local src=$1 obj
  obj=$objects/$(echo "${1#"$root"/}" | tr / _).o
  if [ ! -e "$obj" ] || [ -n "$(find "$src" "$root"/game "$root"/base "$root"/platform "$root"/gfx "$root"/web -name '*.h' -newer "$obj" -print -quit 2>/dev/null)" ] || [ "$src" -nt "$obj" ]; then
    nice -n 10 em++ "${flags[@]}" -c "$src" -o "$obj"
  fi
  echo "$obj"
}
export -f compile
export root objects
# A pipeline of the script itself, so that its processor time is counted below.
printf '%s\n' "${sources[@]}" | xargs -P "${BLUBBI_WEB_JOBS:-2}" -I{} bash -c "$(declare -p flags); $(declare -f compile); compile {}" >"$objects/list"
mapfile -t objs <"$objects/list"
# Linked again only when an object is newer than the last link.
if [ ! -e "$objects/blubbi.wasm" ] || [ -n "$(find "${objs[@]}" -newer "$objects/blubbi.wasm" -print -quit)" ]; then
  nice -n 10 em++ -O2 -mbulk-memory -msimd128 "${objs[@]}" -o "$objects/blubbi.js" -sMODULARIZE=1 -sEXPORT_NAME=BlubbiGame -sENVIRONMENT=web \
  -sALLOW_MEMORY_GROWTH=1 -sEXPORTED_RUNTIME_METHODS=UTF8ToString,HEAPU8 -sEXPORTED_FUNCTIONS=_malloc,_free -sINITIAL_MEMORY=33554432
fi
[ -x "$build/blubbi-web-data" ] || { echo "build-web: $build/blubbi-web-data is missing: build the game first" >&2; exit 1; }
"$build/blubbi-web-data" "$build" "$objects/blubbi.data"

# Files named by their content, so the server may let browsers keep them for good.
declare -A names
place() {
  local file=$1 stem=$2 ext=$3 hash
  hash=$(sha256sum "$file" | cut -c1-16)
  cp "$file" "$out.new/$stem-$hash.$ext"
  names[$stem.$ext]="$stem-$hash.$ext"
}
place "$objects/blubbi.wasm" blubbi wasm
place "$objects/blubbi.js" blubbi js
place "$objects/blubbi.data" blubbi data
# The tune, rendered once by FluidSynth with the desktop game's soundfont (a browser plays no MIDI).
if [ -x "$build/blubbi-web-tune" ] && [ -e "$build/sound/getspeed6.mid" ]; then
  if [ ! -e "$objects/musik.ogg" ] || [ "$build/sound/getspeed6.mid" -nt "$objects/musik.ogg" ]; then
    nice -n 10 "$build/blubbi-web-tune" "$build/sound/getspeed6.mid" "$objects/musik.ogg"
  fi
  place "$objects/musik.ogg" musik ogg
fi
for cue in "$build"/sound/*.wav; do
  [ -e "$cue" ] && place "$cue" "$(basename "$cue" .wav)" wav
done
for page in "$root"/web/page/*; do
  base=$(basename "$page")
  place "$page" "${base%.*}" "${base##*.}"
done
{ for stem in "${!names[@]}"; do echo "$stem ${names[$stem]}"; done; } | sort >"$out.new/manifest"
rm -rf "$out"
mv "$out.new" "$out"
end=$(date +%s.%N)
cpu=$(awk -v before="$cpu_before" -v hz="$(getconf CLK_TCK)" '{printf "%.1f", ($14 + $15 + $16 + $17 - before) / hz}' /proc/$$/stat)
echo "build-web: $(wc -l <"$out/manifest") files in $out, $(du -sk "$out" | cut -f1) KB; $(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.1f", b - a}') s, $cpu CPU s"
