#!/bin/bash
# The desktop icons are the node sheet's own pictures: the blue, yellow, red
# and green bodies with their arrows turned toward each other, rebuilt here
# with ImageMagick from nodes.bmp. The sizes from 48 up show the picture
# enlarged by a whole factor and centred; 16 and 32 show it averaged down.
set -u
output=$1 build=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

key=$(convert "$output/nodes.bmp" -format '%[pixel:p{0,0}]' info:)
convert "$output/nodes.bmp" -transparent "$key" PNG32:"$scratch/sheet.png"
# Pictures on the sheet: bodies by owner from x 0, arrows by direction from
# x 125, every 25 pixels, 23 pixels square.
layer() {  # sheet x, icon x, icon y
  echo "( $scratch/sheet.png -crop 23x23+$1+0 +repage ) -geometry +$2+$3 -composite"
}
# shellcheck disable=SC2046
convert -size 48x48 xc:none \
  $(layer 25 0 0) $(layer 125 0 0) $(layer 100 25 0) $(layer 200 25 0) \
  $(layer 50 25 25) $(layer 175 25 25) $(layer 75 0 25) $(layer 150 0 25) \
  PNG32:"$scratch/picture.png"

for size in 16 32 48 64 128 256; do
  icon="$build/icons/${size}x${size}/apps/cspindrel.png"
  [ "$(identify -format '%m %w %h %A' "$icon" 2>/dev/null)" = "PNG $size $size True" ] ||
    fail "$icon is not a ${size}x${size} PNG with alpha"
  if [ "$size" -lt 48 ]; then
    convert "$scratch/picture.png" -scale "${size}x${size}" PNG32:"$scratch/expected.png"
    fuzz=1%  # rounding of the averages
  else
    convert "$scratch/picture.png" -scale "$((size / 48 * 100))%" -background none \
      -gravity center -extent "${size}x${size}" PNG32:"$scratch/expected.png"
    fuzz=0
  fi
  differing=$(compare -metric AE -fuzz "$fuzz" "$scratch/expected.png" "$icon" null: 2>&1)
  [ "$differing" = 0 ] || fail "the ${size} pixel icon differs in $differing pixels"
done

[ "$failures" = 0 ] && echo "icon checks passed"
[ "$failures" = 0 ]
