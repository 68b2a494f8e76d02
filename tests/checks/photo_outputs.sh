#!/usr/bin/env bash
# A phone photo (EXIF orientation 6, date, place, camera, XMP, a wide-gamut profile, 300 dpi)
# and a PNG carrying every kind of ancillary chunk go through the real Quillet.exe under Wine
# to each target; exiftool reads what was kept, ImageMagick's -auto-orient gives the pixel
# positions the output must show.
# Usage: tests/checks/photo_outputs.sh [build folder]      (default: build/win64)
set -uo pipefail
. "$(dirname "$0")/../../scripts/common.sh"
. "$QUILLET_ROOT/scripts/wine.sh"
build=${1:-$QUILLET_BUILD/win64}
wine_setup

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$QUILLET_ROOT/tests/checks/lib/checking.sh"

tag() { exiftool -s3 -n "-$2" "$1" 2>/dev/null; }
is() { [ "$1" = "$2" ] || { echo "got '$1', want '$2'"; return 1; }; }
starts() { case "$1" in "$2"*) return 0 ;; esac; echo "got '$1', want '$2...'"; return 1; }
# Pixels differing by more than fuzz, as ImageMagick counts them.
differing() { compare -metric AE -fuzz "$3" "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
same_pixels() { local n; n=$(differing "$1" "$2" "$3"); [ "$n" = "0" ] || { echo "$n pixels differ"; return 1; }; }
# All but the quarters' edges (at most a tenth of the pixels) alike.
mostly_same() { local n; n=$(differing "$1" "$2" 15%); [ "$n" -le 240 ] || { echo "$n pixels differ"; return 1; }; }
not_in_file() { ! grep -qF -- "$1" "$2"; }

python3 "$QUILLET_ROOT/tests/checks/make_wide_profile.py" "$work/wide.icc"
quadrants() {  # out: red, green, blue and white quarters, 60 x 40
  convert -size 60x40 xc:red -fill lime -draw 'rectangle 30,0 59,19' -fill blue \
    -draw 'rectangle 0,20 29,39' -fill white -draw 'rectangle 30,20 59,39' -quality 95 "$1"
}
photo_tags=(-Orientation#=6 '-DateTimeOriginal=2024:05:06 07:08:09' -Model=QuilletCam
  -GPSLatitude=35.681 -GPSLatitudeRef=N -GPSLongitude=139.767 -GPSLongitudeRef=E
  '-XMP-dc:Title=Harbour at dawn' "-ICC_Profile<=$work/wide.icc")

expect_photo() {  # file what
  check "$2: date" is "$(tag "$1" DateTimeOriginal)" "2024:05:06 07:08:09"
  check "$2: camera" is "$(tag "$1" Model)" "QuilletCam"
  check "$2: place" starts "$(tag "$1" GPSLatitude)" "35.681"
  check "$2: XMP" is "$(tag "$1" XMP-dc:Title)" "Harbour at dawn"
  check "$2: says upright" is "$(tag "$1" Orientation)" "1"
  check "$2: profile byte for byte" cmp -s <(exiftool -b -ICC_Profile "$1") "$work/wide.icc"
}

# The photo as a JPEG, to BMP and PNG.
dir="$work/jpeg"; mkdir -p "$dir"
quadrants "$dir/photo.jpg"
exiftool -q -overwrite_original "${photo_tags[@]}" -XResolution=300 -YResolution=300 \
  -ResolutionUnit=inches -JFIF:XResolution=300 -JFIF:YResolution=300 -JFIF:ResolutionUnit=inches \
  "$dir/photo.jpg"
convert "$dir/photo.jpg" -auto-orient "PNG24:$work/upright.png"
check "the source is sideways" is "$(tag "$dir/photo.jpg" Orientation)" "6"

quillet_in "$dir" $'[Image]\r\nType=1\r\n' "$dir/photo.jpg"
check "JPEG to PNG: written" test -f "$dir/photo.png"
expect_photo "$dir/photo.png" "JPEG to PNG"
check "JPEG to PNG: 300 dpi" is "$(tag "$dir/photo.png" PNG:PixelsPerUnitX)" "11811"
check "JPEG to PNG: 40 x 60" is "$(identify -format %wx%h "$dir/photo.png")" "40x60"
convert "$dir/photo.png" -auto-orient "PNG24:$work/turned.png"
check "JPEG to PNG: pixels upright" same_pixels "$work/upright.png" "$work/turned.png" 6%
check "JPEG to PNG: no thumbnail" is "$(tag "$dir/photo.png" ThumbnailLength)" ""
check "JPEG to PNG: Title is the file name" is "$(tag "$dir/photo.png" PNG:Title)" "photo.png"
check "JPEG to PNG: no folder in the file" not_in_file "$(wine_path "$dir")" "$dir/photo.png"

quillet_in "$dir" $'[Image]\r\nType=0\r\n' "$dir/photo.jpg"
check "JPEG to BMP: written" test -f "$dir/photo.bmp"
check "JPEG to BMP: 300 dpi" is "$(tag "$dir/photo.bmp" PixelsPerMeterX)" "11811"
check "JPEG to BMP: 40 x 60" is "$(identify -format %wx%h "$dir/photo.bmp")" "40x60"
# Turned as the tag says, and the saturated colours brought into sRGB: green stays green but
# not the profile's own green.
check "JPEG to BMP: pixels upright" same_pixels "$work/upright.png" "$dir/photo.bmp" 40%
check "JPEG to BMP: colours converted" test "$(differing "$work/upright.png" "$dir/photo.bmp" 3%)" -gt 0

# A PNG with eXIf, iCCP, pHYs, the XMP iTXt and a text chunk, to JPEG.
dir="$work/png"; mkdir -p "$dir"
quadrants "PNG24:$dir/chunks.png"
convert "$dir/chunks.png" -rotate 90 "PNG24:$work/upright-png.png" # what orientation 6 means
exiftool -q -overwrite_original "${photo_tags[@]}" -PNG:PixelsPerUnitX=11811 \
  -PNG:PixelsPerUnitY=11811 -PNG:PixelUnits=meters '-PNG:Comment=a tEXt note' "$dir/chunks.png"
check "the PNG source carries eXIf" is "$(tag "$dir/chunks.png" Orientation)" "6"
quillet_in "$dir" $'[Image]\r\nType=2\r\nJpegQuality=95\r\n' "$dir/chunks.png"
check "PNG to JPEG: written" test -f "$dir/chunks.jpg"
expect_photo "$dir/chunks.jpg" "PNG to JPEG"
check "PNG to JPEG: 300 dpi" is "$(tag "$dir/chunks.jpg" JFIF:XResolution)/$(tag "$dir/chunks.jpg" JFIF:ResolutionUnit)" "300/1"
check "PNG to JPEG: 40 x 60" is "$(identify -format %wx%h "$dir/chunks.jpg")" "40x60"
# JPEG blurs the quarters' crisp edges; a wrong turn would differ almost everywhere.
check "PNG to JPEG: pixels upright" mostly_same "$work/upright-png.png" "$dir/chunks.jpg"

# A JPEG whose only orientation is XMP's stands upright too, its XMP then saying so.
dir="$work/xmp"; mkdir -p "$dir"
quadrants "$dir/xmp.jpg"
exiftool -q -overwrite_original -XMP-tiff:Orientation#=6 "$dir/xmp.jpg"
check "the XMP-only source has no EXIF orientation" is "$(tag "$dir/xmp.jpg" EXIF:Orientation)" ""
quillet_in "$dir" $'[Image]\r\nType=1\r\n' "$dir/xmp.jpg"
check "XMP orientation: 40 x 60" is "$(identify -format %wx%h "$dir/xmp.png")" "40x60"
check "XMP orientation: says upright" is "$(tag "$dir/xmp.png" XMP-tiff:Orientation)" "1"
check "XMP orientation: pixels upright" same_pixels "$work/upright.png" "$dir/xmp.png" 6%

finish
