#!/usr/bin/env bash
# Builds the Debian packages blubbi-blubbo (the game) and blubbi-hiscore (the hiscore server) with
# debhelper (debian/), from a copy of this tree, into OUT (default build-deb/), and checks them as
# Debian does: lintian, the desktop entry, the AppStream metainfo and the service unit.
# Usage: scripts/package.sh [OUT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$root/build-deb}" && cd "${1:-$root/build-deb}" && pwd)
src=$out/blubbi-blubbo
"$root/scripts/setup.sh" package
start=$SECONDS

# The one version, the project's, becomes the packages' (a native package: no Debian revision).
version=$(sed -n 's/^project(BlubbiBlubbo VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt's project()" >&2; exit 1; }

# The tree without build folders; debian/changelog says the version.
rm -rf "$src" "$out"/*.deb "$out"/*.ddeb "$out"/*.buildinfo "$out"/*.changes
mkdir -p "$src"
tar -C "$root" --exclude=./.git --exclude='./build*' --exclude=./Testing --exclude=./.cache -cf - . | tar -x -C "$src"
when=$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)
cat >"$src/debian/changelog" <<END
blubbi-blubbo ($version) unstable; urgency=medium

  * Version $version, built from the project's tree.

 -- Velkor Spielesoftware <pakete@blubbi-blubbo.invalid>  $(date -R -u -d "@$when")
END

# dpkg-buildpackage gives debhelper a home of its own; the compiler cache stays the user's.
if command -v ccache >/dev/null; then
  CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)}
  export CCACHE_DIR
fi
(cd "$src" && DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-nocheck} parallel=$(nproc)" dpkg-buildpackage -b -us -uc) \
  >"$out/build.log" 2>&1 || { tail -n 60 "$out/build.log" >&2; echo "package: the build failed, see $out/build.log" >&2; exit 1; }
debs=("$out/blubbi-blubbo_${version}_"*.deb "$out/blubbi-hiscore_${version}_"*.deb)
echo "package: built ${debs[*]##*/} in $((SECONDS - start)) s"

# As Debian checks them: lintian fails on errors (its warnings are explained in docs/packages.md).
lintian --fail-on error --tag-display-limit 0 "${debs[@]}"
x=$(mktemp -d)
trap 'rm -rf "$x"' EXIT
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$x"; done
desktop-file-validate "$x/usr/share/applications/de.velkor.BlubbiBlubbo.desktop"
appstreamcli validate --no-net --pedantic "$x/usr/share/metainfo/de.velkor.BlubbiBlubbo.metainfo.xml"
# The unit checked within the packages' files, beside this machine's own units it names.
cp -an /lib/systemd/system/. "$x/lib/systemd/system/"
systemd-analyze verify --man=no --root="$x" blubbi-hiscore.service
systemd-analyze security --offline=yes --root="$x" blubbi-hiscore.service | tail -n 1
echo "package: checked"
