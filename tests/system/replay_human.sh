#!/bin/bash
# A human game in every build: New Game with the panel's defaults, then blue
# clicks one of its nodes on its first turn, clicks again while the board is
# busy, and quits with Escape.
set -u
OUT=$1
SRC=$2
source "$SRC/tests/replay/replay_lib.sh"
SCRIPT="$SRC/tests/replay/new_game_two_players.replay"

for build in $BUILDS; do
  n=${SIZE[$build]}
  l=$((n - 1))
  diag=$([ "$build" = current ] && echo 1 || echo 0)
  replay "$build" "$SCRIPT" >"$TMP/first" || fail "$build: exit code $?"

  # Frame 1 still shows the four-player game; the click was a button press.
  if [ "$diag" = 1 ]; then
    expect_eq "$build: click lines" "mouse clicked on screen 100 420|mouse clicked in button 100 420" \
      "$(head -2 "$TMP/first" | paste -sd'|')"
  fi
  expect_eq "$build: first line" "T 1" "$(grep -v '^mouse' "$TMP/first" | head -1 | cut -d' ' -f1-2)"
  check_layout "$n" 1 "$(field 9 "$(tline 1 "$TMP/first")")" || fail "$build: frame 1 is not the old game"

  # Frame 2 deals the two-player game.
  t2=$(tline 2 "$TMP/first")
  b2=$(field 9 "$t2")
  expect_eq "$build: frame 2 settle moves turns" "9 0 0" "$(field 3 "$t2") $(field 6 "$t2") $(field 7 "$t2")"
  check_layout "$n" 0 "$b2" || fail "$build: two-player layout"
  counts=$(field 8 "$t2")
  expect_eq "$build: green and yellow own nothing" "0,0" "$(echo "$counts" | cut -d, -f4,5)"
  expect_eq "$build: counts are the board's owners" "$(owner_counts "$b2")" "$counts"
  expect_eq "$build: blue and red corners" "1 2 0 0" \
    "$(for cr in "0 0" "$l $l" "0 $l" "$l 0"; do t=$(token $n "$b2" $cr); echo -n "${t:0:1} "; done | xargs)"

  # Blue's first idle turn: the first frame that leaves blue to move at -1.
  F=$(awk '$1 == "T" && $2 >= 2 && $4 == 1 && $3 == -1 { print $2; exit }' "$TMP/first")
  [ -n "$F" ] || { fail "$build: blue never got the turn"; continue; }
  tF=$(tline "$F" "$TMP/first")
  bF=$(field 9 "$tF")
  expect_eq "$build: winner at blue's turn" 0 "$(field 5 "$tF")"
  [[ "$bF" =~ ^([0-4][0-3]\.[0-9b-][-b])+$ ]] || fail "$build: a fuse is burning on an idle board"

  # Blue clicks its first node in board order that will not burn out.
  read -r C R < <(awk -v n="$n" -v b="$bF" 'BEGIN {
    for (i = 0; i < n * n; ++i) {
      t = substr(b, i * 5 + 1, 5)
      if (substr(t, 1, 1) == "1" && substr(t, 4, 1) !~ /[7b]/) { print int(i / n), i % n; exit } } }')
  X=$((ORIGIN_X[$build] + 24 * C + 12))
  Y=$((ORIGIN_Y[$build] + 24 * R + 12))
  { cat "$SCRIPT" | sed "s/^frames .*/frames $((F + 10))/"
    echo "at $((F + 1)) click $X $Y"
    echo "at $((F + 2)) click $X $Y"
    echo "at $((F + 3)) key escape"; } >"$TMP/script"
  replay "$build" "$TMP/script" >"$TMP/second" || fail "$build: exit code $?"

  # Up to frame F the two runs are the same game.
  head -n "$(grep -n "^T $F " "$TMP/first" | cut -d: -f1)" "$TMP/first" >"$TMP/prefix"
  cmp -s "$TMP/prefix" <(head -n "$(wc -l <"$TMP/prefix")" "$TMP/second") ||
    fail "$build: the runs differ before the click"
  tail -n +"$(($(wc -l <"$TMP/prefix") + 1))" "$TMP/second" >"$TMP/rest"
  if [ "$diag" = 1 ]; then
    expected="mouse clicked on screen $X $Y|mouse clicked on grid $C $R|T $((F + 1))|mouse clicked on screen $X $Y|T $((F + 2))|T $((F + 3))"
  else
    expected="T $((F + 1))|T $((F + 2))|T $((F + 3))"
  fi
  expect_eq "$build: lines after the click (Escape ends the run)" "$expected" \
    "$(awk '{ print $1 == "T" ? $1 " " $2 : $0 }' "$TMP/rest" | paste -sd'|')"

  # The click turned the node a quarter counter-clockwise and fired it; the
  # only fuses burning are those of its neighbours, captured for blue.
  t1=$(tline $((F + 1)) "$TMP/second")
  b1=$(field 9 "$t1")
  old=$(token $n "$bF" $C $R)
  count=$([ "${BURNOUT[$build]}" = 1 ] && echo $((${old:3:1} + 1)) || echo -)
  expect_eq "$build: the clicked node" "1$(((${old:1:1} + 1) % 4)).${count}${old:4:1}" \
    "$(token $n "$b1" $C $R)"
  expect_eq "$build: counter after the click" 10 "$(field 3 "$t1")"
  awk -v n="$n" -v b="$b1" -v c="$C" -v r="$R" 'BEGIN {
    for (i = 0; i < n * n; ++i) {
      t = substr(b, i * 5 + 1, 5); x = int(i / n); y = i % n
      if (substr(t, 3, 1) != "." && (substr(t, 1, 1) != "1" || (x - c) ^ 2 + (y - r) ^ 2 != 1)) bad++
    }
    exit bad > 0 }' || fail "$build: a fuse burns away from the clicked node"

  # The click while the board is busy does nothing.
  t2=$(tline $((F + 2)) "$TMP/second")
  n1=$(token $n "$(field 9 "$t1")" $C $R)
  n2=$(token $n "$(field 9 "$t2")" $C $R)
  expect_eq "$build: busy click leaves the node's owner and direction" "${n1:0:2}" "${n2:0:2}"
done
finish
