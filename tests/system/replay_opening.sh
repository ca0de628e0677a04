#!/bin/bash
# The first frames of the program's own four-computer game in every build:
# the dealt layout, the fired corner nodes and their captures, the counters.
set -u
OUT=$1
SRC=$2
source "$SRC/tests/replay/replay_lib.sh"

for build in $BUILDS; do
  n=${SIZE[$build]}
  l=$((n - 1))
  for seed in 1 4242; do
    what="$build seed $seed"
    printf 'seed %s\nframes 2\n' "$seed" >"$TMP/script"
    replay "$build" "$TMP/script" >"$TMP/trace" || fail "$what: exit code $?"
    expect_eq "$what: lines" 2 "$(wc -l <"$TMP/trace")"
    t1=$(tline 1 "$TMP/trace")
    t2=$(tline 2 "$TMP/trace")
    b1=$(field 9 "$t1")
    b2=$(field 9 "$t2")

    # The deal set the counter to 10; nothing fires in frame 1, so it reads 9.
    expect_eq "$what: frame 1 settle winner moves turns" "9 0 0 0" "$(field 3 "$t1") $(field 5 "$t1") $(field 6 "$t1") $(field 7 "$t1")"
    case $(field 4 "$t1") in [1-4]) ;; *) fail "$what: current $(field 4 "$t1")" ;; esac
    expect_eq "$what: counts are the board's owners" "$(owner_counts "$b1")" "$(field 8 "$t1")"
    check_layout "$n" 1 "$b1" || fail "$what: four-player layout"

    # The corners: owner, direction, idle, fired once.
    if [ "${BURNOUT[$build]}" = 1 ]; then f1=1; else f1=-; fi
    expect_eq "$what: blue corner" "13.${f1}-" "$(token $n "$b1" 0 0)"
    expect_eq "$what: red corner" "21.${f1}-" "$(token $n "$b1" $l $l)"
    expect_eq "$what: green corner" "30.${f1}-" "$(token $n "$b1" 0 $l)"
    expect_eq "$what: yellow corner" "42.${f1}-" "$(token $n "$b1" $l 0)"

    # Each corner captured the node it points at and the neighbour along the
    # other edge if that one points back at it; the captures wait with a fuse
    # of 0 after frame 1 and fire in frame 2. Nothing else is owned.
    owned=4
    # player, pointed-at node, other neighbour, the direction pointing back
    for corner in "1 0 1 1 0 2" "2 $l $((l - 1)) $((l - 1)) $l 0" \
      "3 1 $l 0 $((l - 1)) 3" "4 $((l - 1)) 0 $l 1 1"; do
      set -- $corner
      p=$1
      t=$(token $n "$b1" $2 $3)
      expect_eq "$what: player $p's capture ${t}" "${p}0" "${t:0:1}${t:2:1}"
      f=$(token $n "$b2" $2 $3)
      expect_eq "$what: player $p's capture fired in frame 2" "." "${f:2:1}"
      [ "${BURNOUT[$build]}" = 1 ] && expect_eq "$what: its firing count" 1 "${f:3:1}"
      o=$(token $n "$b1" $4 $5)
      if [ "${o:1:1}" = "$6" ]; then
        expect_eq "$what: player $p's neighbour pointing back" "${p}0" "${o:0:1}${o:2:1}"
        owned=$((owned + 2))
      else
        expect_eq "$what: player $p's neighbour pointing away" "0." "${o:0:1}${o:2:1}"
        owned=$((owned + 1))
      fi
    done
    c0=$(field 8 "$t1" | cut -d, -f1)
    expect_eq "$what: owned nodes" "$owned" "$((n * n - c0))"
    expect_eq "$what: frame 2 settle (the captures fired)" 10 "$(field 3 "$t2")"
    check_layout "$n" 1 "$b2" || fail "$what: firings turned a node"
  done
done
finish
