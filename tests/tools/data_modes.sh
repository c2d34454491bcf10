#!/bin/sh
# Fails unless every data file in the build tree's grafiken, sound and levels has mode 0644.
cd "$1" || exit 1
files=$(find grafiken sound levels -type f \( -name '*.gif' -o -name '*.png' -o -name '*.jpg' \
    -o -name '*.wav' -o -name '*.mid' -o -name '*.lev' \) | sort)
[ -n "$files" ] || { echo "no data files under $1"; exit 1; }
status=0
for f in $files; do
    mode=$(stat -c %a "$f")
    [ "$mode" = 644 ] || { echo "$f: mode $mode, not 644"; status=1; }
done
exit $status
