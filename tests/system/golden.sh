#!/bin/bash
# The build's facts (caption, sizes, file names) must equal the approved
# ones; every scenario of tests/replay through each build's replay tool: the
# whole trace must equal the approved one in tests/golden (a difference names
# the frame where it starts), and the screenshots of the game and the small
# board their approved pictures, to within a library's rounding step.
#   golden.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR [--update]
# --update approves what the programs do now (make approve).
set -u
out=$(cd "$1" && pwd) src=$(cd "$2" && pwd) build=$(cd "$3" && pwd) update=${4:-}
source "$src/tests/lib.sh"
golden=$src/tests/golden failed=$build/golden-failures
rm -rf "$failed"

# The picture as approved: PNG, with the frame-rate digits blanked. They
# follow "FPS:" under the board's left edge, on the row the layout gives.
# Written losslessly: ImageMagick 7 quantizes a PNG8 even when the picture
# has fewer than 256 colours, which moved colours by two levels.
fps_x=$(($(fact "$build" current_board_origin_x) + 4 * $(fact "$build" text_advance)))
fps_y=$(fact "$build" frame_rate_y)
picture() {
  convert "$1" -fill black -draw "rectangle $fps_x,$fps_y $((fps_x + 59)),$((fps_y + 14))" "PNG:$2"
}

# The first difference of two traces: the frame, and the counter or node.
first_difference() {
  awk 'NR == FNR { approved[FNR] = $0; next }
    approved[FNR] != $0 {
      found = 1
      split(approved[FNR], a, " ")
      if (a[1] != "T" || $1 != "T") { print "line " FNR " was \"" substr(approved[FNR], 1, 60) "\", is \"" substr($0, 1, 60) "\""; exit }
      for (i = 2; i <= 8; i++) if (a[i] != $i) { print "frame " $2 ": field " i " was " a[i] ", is " $i; exit }
      n = int(sqrt(length($9) / 5) + 0.5)
      for (k = 0; k < n * n; k++)
        if (substr(a[9], 5 * k + 1, 5) != substr($9, 5 * k + 1, 5)) {
          print "frame " $2 ": node (" int(k / n) ", " k % n ") was " substr(a[9], 5 * k + 1, 5) ", is " substr($9, 5 * k + 1, 5); exit
        }
    }
    END { if (!found && FNR != length(approved)) print "the trace has " FNR " lines, the approved one " length(approved) }' "$1" "$2"
}

if [ "$update" = --update ]; then
  cp "$build/facts.sh" "$golden/facts.sh.txt"
elif ! diff_out=$(diff "$golden/facts.sh.txt" "$build/facts.sh"); then
  fail "the build's facts differ from the approved ones: $diff_out"
fi

for script in "$src"/tests/replay/*.replay; do
  name=$(basename "$script" .replay)
  for suffix in "" -r1 -r2 -r3; do
    id=$name${suffix:--current}
    dir=$WORK/$id
    mkdir "$dir" && ln -s "$out"/*.bmp "$dir"
    if ! (cd "$dir" && timeout -s KILL 60 "$out/spindrel-replay$suffix" "$script" >trace 2>err); then
      fail "$id: the replay tool failed: $(cat "$dir/err")"
      continue
    fi
    if [ "$update" = --update ]; then
      xz -9e <"$dir/trace" >"$golden/$id.trace.xz"
    elif ! xz -dc "$golden/$id.trace.xz" | cmp -s - "$dir/trace"; then
      fail "$id: $(xz -dc "$golden/$id.trace.xz" | first_difference - "$dir/trace")"
    fi
    # Pictures: the game and the small board; the other two draw alike.
    [ "$suffix" = "" ] || [ "$suffix" = -r2 ] || continue
    while read -r shot; do
      approved=$golden/$id-${shot%.bmp}.png
      picture "$dir/$shot" "$dir/${shot%.bmp}.png"
      if [ "$update" = --update ]; then
        cp "$dir/${shot%.bmp}.png" "$approved"
        continue
      fi
      # Pixels that differ by more than a library's rounding step (1 % is
      # 2.5 of 255 levels; no player sees that). ImageMagick 7 adds the
      # share in brackets.
      differing=$(compare -metric AE -fuzz 1% "$approved" "$dir/${shot%.bmp}.png" null: 2>&1)
      differing=${differing%% *}
      if [ "$differing" != 0 ]; then
        mkdir -p "$failed"
        cp "$dir/${shot%.bmp}.png" "$failed/$id-${shot%.bmp}.png"
        compare "$approved" "$dir/${shot%.bmp}.png" "$failed/$id-${shot%.bmp}-diff.png" 2>/dev/null
        fail "$id: $shot differs in $differing pixels; see $failed"
      fi
    done < <(awk '$3 == "screenshot" { print $4 }' "$script")
  done
done
finish
