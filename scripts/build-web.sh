#!/usr/bin/env bash
# The game for the browser: the browser's build tree BUILD/web-wasm, configured by Debian's emscripten
# from the project's own CMake files (web/CMakeLists.txt names the program), into BUILD/web with the
# game's data (blubbi-web-data, built natively in BUILD) and the pages' scripts. Every file is named by
# its content's hash; BUILD/web/manifest lists them for the hiscore server. Usage: scripts/build-web.sh [BUILD]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=$build/web
tree=$build/web-wasm
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
# The host's compiler and linker flags (a package build exports its hardening ones) are not the
# browser's: emscripten has no stack protector, and its linker takes no -z options.
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS
command -v em++ >/dev/null || { echo "build-web: em++ is missing (scripts/setup.sh installs emscripten)" >&2; exit 1; }
start=$(date +%s.%N)
cpu_before=$(awk '{print $14 + $15 + $16 + $17}' /proc/$$/stat)
mkdir -p "$out.new"

# Optimised, assertions kept; ninja compiles again what a changed source or header touches, and
# the tree configures itself anew when a CMake file changed.
if [ ! -e "$tree/build.ninja" ]; then
  emcmake cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE=-O2 \
    -DCMAKE_CXX_FLAGS_RELEASE=-O2 >/dev/null
fi
# Its processes are children of this script, so their processor time is counted below.
nice -n 10 cmake --build "$tree" -j "${BLUBBI_WEB_JOBS:-2}" --target blubbi_web_game
[ -x "$build/blubbi-web-data" ] || { echo "build-web: $build/blubbi-web-data is missing: build the game first" >&2; exit 1; }
"$build/blubbi-web-data" "$build" "$tree/blubbi.data"

# Files named by their content, so the server may let browsers keep them for good.
declare -A names
place() {
  local file=$1 stem=$2 ext=$3 hash
  hash=$(sha256sum "$file" | cut -c1-16)
  cp "$file" "$out.new/$stem-$hash.$ext"
  names[$stem.$ext]="$stem-$hash.$ext"
}
place "$tree/blubbi.wasm" blubbi wasm
place "$tree/blubbi.js" blubbi js
place "$tree/blubbi.data" blubbi data
# The tune, rendered once by FluidSynth with the desktop game's soundfont (a browser plays no MIDI).
if [ -x "$build/blubbi-web-tune" ] && [ -e "$build/sound/getspeed6.mid" ]; then
  if [ ! -e "$tree/musik.ogg" ] || [ "$build/sound/getspeed6.mid" -nt "$tree/musik.ogg" ]; then
    nice -n 10 "$build/blubbi-web-tune" "$build/sound/getspeed6.mid" "$tree/musik.ogg"
  fi
  place "$tree/musik.ogg" musik ogg
fi
for cue in "$build"/sound/*.wav; do
  [ -e "$cue" ] && place "$cue" "$(basename "$cue" .wav)" wav
done
# The pages' icon: the game's own, drawn from assets/graphics/icons.
icon=$build/icons/hicolor/32x32/apps/de.velkor.BlubbiBlubbo.png
if [ -e "$icon" ]; then place "$icon" favicon png; fi
# The win's picture, as the desktop's win dialog shows it.
if [ -e "$build/grafiken/gewonnen.gif" ]; then place "$build/grafiken/gewonnen.gif" gewonnen gif; fi
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
