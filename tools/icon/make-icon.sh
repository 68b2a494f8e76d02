#!/usr/bin/env bash
# Draws the program icon (a quill over a page) and writes res/quillet.ico.
set -euo pipefail
cd "$(dirname "$0")/../.."
draw() {  # size out
  local s=$1 k
  k=$(awk "BEGIN{print $s/32}")
  convert -size "${s}x${s}" xc:none \
    -fill '#f4f1e8' -stroke '#5a5a5a' -strokewidth "$k" \
    -draw "rectangle $(awk "BEGIN{printf \"%g,%g %g,%g\", 6*$k,4*$k, 24*$k,28*$k}")" \
    -fill '#2d5fa8' -stroke '#1c3d6e' \
    -draw "polygon $(awk "BEGIN{printf \"%g,%g %g,%g %g,%g %g,%g\", 27*$k,2*$k, 30*$k,5*$k, 14*$k,22*$k, 11*$k,25*$k}")" \
    -stroke '#1c3d6e' -draw "line $(awk "BEGIN{printf \"%g,%g %g,%g\", 11*$k,25*$k, 9*$k,28*$k}")" \
    "$2"
}
tmp=$(mktemp -d)
draw 16 "$tmp/16.png"; draw 32 "$tmp/32.png"; draw 48 "$tmp/48.png"
convert "$tmp/16.png" "$tmp/32.png" "$tmp/48.png" res/quillet.ico
rm -rf "$tmp"
