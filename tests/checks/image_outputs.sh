#!/usr/bin/env bash
# Converts pictures made by ImageMagick through the real Quillet.exe under Wine, in every
# direction, and opens what it wrote with ImageMagick again.
# Usage: tests/checks/image_outputs.sh [build folder]      (default: build/win64)
set -uo pipefail
. "$(dirname "$0")/../../scripts/common.sh"
. "$QUILLET_ROOT/scripts/wine.sh"
build=${1:-$QUILLET_BUILD/win64}
. "$QUILLET_ROOT/tests/checks/lib/checking.sh"
need_tools convert compare identify
wine_setup

work=$(mktemp -d)
trap 'rm -rf "$work"; wine_teardown' EXIT # and the Xvfb a run of its own started
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAILED: $*"; }

# Pixel differences above fuzz, as ImageMagick counts them.
differing() { compare -metric AE -fuzz "$3" "$1" "$2" null: 2>&1 | cut -d' ' -f1; }

convert -size 33x17 gradient:"#ff2000-#0030ff" -depth 8 "PNG24:$work/source.png"
ext_of=(bmp png jpg)
for s in 0 1 2; do
  for t in 0 1 2; do
    [ "$s" -ne "$t" ] || continue
    dir="$work/case-$s-$t"; mkdir -p "$dir"
    src="$dir/picture.${ext_of[$s]}"
    fmt=""; [ "$s" -eq 0 ] && fmt="BMP3:"
    [ "$s" -eq 1 ] && fmt="PNG24:"
    convert "$work/source.png" -depth 8 -type TrueColor -quality 95 "$fmt$src"
    quillet_in "$dir" $'[Image]\r\nType='"$t"$'\r\nJpegQuality=95\r\n' "$src"
    out="$dir/picture.${ext_of[$t]}"
    if [ ! -f "$out" ]; then bad "${ext_of[$s]} to ${ext_of[$t]}: nothing written"; continue; fi
    size=$(identify -format '%wx%h' "$out" 2>/dev/null)
    [ "$size" = "33x17" ] && ok || bad "${ext_of[$s]} to ${ext_of[$t]}: size $size"
    # JPEG on either side loses a little; otherwise every pixel must match.
    fuzz=0; { [ "$s" -eq 2 ] || [ "$t" -eq 2 ]; } && fuzz=6%
    n=$(differing "$src" "$out" "$fuzz")
    [ "$n" = "0" ] && ok || bad "${ext_of[$s]} to ${ext_of[$t]}: $n pixels differ"
  done
done

# What a written PNG carries: 8-bit RGB, gamma 1/2.2, a Title naming the target file alone.
dir="$work/chunks"; mkdir -p "$dir"
convert "$work/source.png" -depth 8 -type TrueColor "BMP3:$dir/chunks.bmp"
quillet_in "$dir" $'[Image]\r\nType=1\r\n' "$dir/chunks.bmp"
info=$(identify -verbose "$dir/chunks.png" 2>/dev/null)
grep -q 'Gamma: 0.45455' <<<"$info" && ok || bad "PNG gamma"
grep -qx ' *Title: chunks.png' <<<"$info" && ok || bad "PNG title"
grep -qF "$(wine_path "$dir")" "$dir/chunks.png" && bad "PNG holds its folder" || ok
grep -q 'png:IHDR.color_type: 2' <<<"$info" && ok || bad "PNG colour type"

# A gray PNG becomes a one-component JPEG, and a gray PNG stays gray in PNG.
dir="$work/gray"; mkdir -p "$dir"
convert -size 16x9 gradient:white-black -depth 8 -colorspace Gray -define png:color-type=0 "$dir/gray.png"
quillet_in "$dir" $'[Image]\r\nType=2\r\nJpegQuality=90\r\n' "$dir/gray.png"
[ "$(identify -format '%[channels]' "$dir/gray.jpg" 2>/dev/null)" = "gray" ] && ok || bad "gray JPEG"
cp "$dir/gray.jpg" "$dir/again.jpg"
quillet_in "$dir" $'[Image]\r\nType=1\r\n' "$dir/again.jpg"
[ -f "$dir/again.png" ] && [ "$(differing "$dir/again.jpg" "$dir/again.png" 0)" = "0" ] && ok ||
  bad "gray JPEG to PNG"

# A palette PNG keeps its colours in a JPEG (they are not read as gray).
dir="$work/palette-jpeg"; mkdir -p "$dir"
convert "$work/source.png" +dither -colors 16 -define png:bit-depth=8 -define png:color-type=3 "$dir/pal.png"
quillet_in "$dir" $'[Image]\r\nType=2\r\nJpegQuality=95\r\n' "$dir/pal.png"
[ "$(identify -format '%[channels]' "$dir/pal.jpg" 2>/dev/null)" = "srgb" ] &&
  [ "$(differing "$dir/pal.png" "$dir/pal.jpg" 20%)" = "0" ] && ok || bad "palette PNG to JPEG"

# Fine red and blue detail at quality 95 stays as close to its source as ImageMagick's JPEG
# keeps it: colour at full resolution from quality 90 up, at half below.
dir="$work/detail"; mkdir -p "$dir"
convert -size 64x48 xc:white -fill red -draw 'line 5,0 5,47' -draw 'point 20,20' -fill blue \
  -draw 'line 0,9 63,9' -draw 'point 40,30' -draw 'line 30,0 63,33' \
  -define png:color-type=3 "PNG8:$dir/detail.png"
mae() { compare -metric MAE "$1" "$2" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p'; }
convert "$dir/detail.png" -quality 95 "$work/magick95.jpg"
for q in 95 90 89; do
  rm -f "$dir/detail.jpg"
  quillet_in "$dir" $'[Image]\r\nType=2\r\nJpegQuality='"$q"$'\r\n' "$dir/detail.png"
  sampling=$(identify -format '%[jpeg:sampling-factor]' "$dir/detail.jpg" 2>/dev/null)
  want=1x1,1x1,1x1; [ "$q" -lt 90 ] && want=2x2,1x1,1x1
  [ "$sampling" = "$want" ] && ok || bad "quality $q sampled $sampling, not $want"
  [ "$q" = 95 ] || continue
  ours=$(mae "$dir/detail.png" "$dir/detail.jpg"); theirs=$(mae "$dir/detail.png" "$work/magick95.jpg")
  awk -v a="$ours" -v b="$theirs" 'BEGIN { exit !(a != "" && a <= b) }' && ok ||
    bad "quality 95 detail is $ours off its source, ImageMagick's $theirs"
done

# A palette PNG with transparency gives an opaque BMP.
dir="$work/palette"; mkdir -p "$dir"
convert -size 8x8 -depth 8 xc:red -fill blue -draw 'rectangle 0,0 3,3' -transparent blue \
  -define png:bit-depth=8 -define png:color-type=3 "$dir/pal.png"
quillet_in "$dir" $'[Image]\r\nType=0\r\n' "$dir/pal.png"
[ "$(identify -format "%[opaque]" "$dir/pal.bmp" 2>/dev/null | tr A-Z a-z)" = "true" ] && ok || bad "palette PNG opaque"

# A CMYK JPEG, as editors write it, converts to BMP and PNG with the colours ImageMagick
# shows (30 dB or better), opaque.
dir="$work/cmyk"; mkdir -p "$dir"
convert "$work/source.png" -colorspace CMYK -quality 92 "$dir/cmyk.jpg"
convert "$dir/cmyk.jpg" -colorspace sRGB -depth 8 "PNG24:$dir/magick.png"
for t in 0 1; do
  quillet_in "$dir" $'[Image]\r\nType='"$t"$'\r\n' "$dir/cmyk.jpg"
  out="$dir/cmyk.${ext_of[$t]}"
  psnr=$(compare -metric PSNR "$dir/magick.png" "$out" null: 2>&1 | cut -d' ' -f1)
  awk -v p="$psnr" 'BEGIN { exit !(p == "inf" || p + 0 >= 30) }' && ok || bad "CMYK JPEG to ${ext_of[$t]}: PSNR $psnr"
  [ "$(identify -format "%[opaque]" "$out" 2>/dev/null | tr A-Z a-z)" = "true" ] && ok ||
    bad "CMYK JPEG to ${ext_of[$t]}: not opaque"
done

# An RLE8 BMP converts to PNG pixel for pixel.
dir="$work/rle8"; mkdir -p "$dir"
convert "$work/source.png" -colors 40 -type palette -compress RLE "BMP3:$dir/rle.bmp"
[ "$(od -An -tx1 -j30 -N1 "$dir/rle.bmp" | tr -d " ")" = "01" ] || bad "ImageMagick wrote no RLE8 file"
quillet_in "$dir" $'[Image]\r\nType=1\r\n' "$dir/rle.bmp"
[ -f "$dir/rle.png" ] && [ "$(differing "$dir/rle.bmp" "$dir/rle.png" 0)" = "0" ] && ok || bad "RLE8 BMP to PNG"

# Transparent pictures (RGBA and gray with alpha) become JPEG and BMP files laid over white,
# as ImageMagick flattens them: a black logo on a clear ground stays a black logo on white.
dir="$work/alpha"; mkdir -p "$dir"
convert -size 48x32 xc:none -fill black -draw 'rectangle 8,8 23,23' \
  -fill '#ff000080' -draw 'rectangle 24,0 47,15' -fill '#20c04010' -draw 'rectangle 24,16 47,31' \
  -define png:color-type=6 "PNG32:$dir/rgba.png"
convert "$dir/rgba.png" -colorspace Gray -define png:color-type=4 "$dir/graya.png"
for src in rgba graya; do
  convert "$dir/$src.png" -background white -flatten -alpha off "PNG24:$dir/$src-flat.png"
  for t in 0 2; do
    quillet_in "$dir" $'[Image]\r\nType='"$t"$'\r\nJpegQuality=100\r\n' "$dir/$src.png"
    out="$dir/$src.${ext_of[$t]}"
    if [ "$t" -eq 0 ]; then
      n=$([ -f "$out" ] && differing "$dir/$src-flat.png" "$out" 1%)
      [ "$n" = "0" ] && ok || bad "$src PNG to bmp over white: ${n:-no file} pixels differ"
    else # a JPEG smooths colour across the shapes' edges
      psnr=$(compare -metric PSNR "$dir/$src-flat.png" "$out" null: 2>&1 | cut -d' ' -f1)
      awk -v p="$psnr" 'BEGIN { exit !(p == "inf" || p + 0 >= 30) }' && ok ||
        bad "$src PNG to jpg over white: PSNR $psnr"
    fi
    low=$(convert "$out" -crop 1x1+0+31 -format '%[fx:int(255*minima+0.5)]' info: 2>/dev/null)
    floor=255; [ "$t" -eq 2 ] && floor=250
    [ "${low:-0}" -ge "$floor" ] && ok || bad "$src PNG to ${ext_of[$t]}: a transparent corner is $low, not white"
  done
done

# A quality below 1 or not a number writes at 80.
dir="$work/quality"; mkdir -p "$dir"
for value in abc 0 -5; do
  cp "$work/source.png" "$dir/q.png"
  quillet_in "$dir" $'[Image]\r\nType=2\r\nJpegQuality='"$value"$'\r\n' "$dir/q.png"
  q=$(identify -format '%Q' "$dir/q.jpg" 2>/dev/null)
  [ "$q" = "80" ] && ok || bad "JpegQuality=$value wrote quality ${q:-nothing}"
  rm -f "$dir/q.jpg"
done

finish
