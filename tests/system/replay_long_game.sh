#!/bin/bash
# A four-computer game of 20,000 frames in every build: it ends with a winner
# or is still moving, never hangs, keeps the trace's invariants, and the same
# seed plays the same game.
set -u
OUT=$1
SRC=$2
source "$SRC/tests/replay/replay_lib.sh"
SCRIPT="$SRC/tests/replay/four_computers.replay"

for build in $BUILDS; do
  replay "$build" "$SCRIPT" >"$TMP/trace-$build"
  code=$?
  [ "$code" -eq 0 ] || fail "$build: exit code $code (137: killed after hanging)"
  # TOUGH players that find no move say so; nothing else is printed.
  other=""
  [ "$build" = current ] && other='^could not find move!!!$'
  read -r frames moves won < <(check_trace "$build" "$other" <"$TMP/trace-$build") ||
    fail "$build: the trace breaks an invariant"
  expect_eq "$build: frames" 20000 "$frames"
  # Every end of move needs at least two frames, so at most 10,000 of them.
  [ "$moves" -ge 20 ] && [ "$moves" -le 10000 ] || fail "$build: $moves moves in 20,000 frames"
  if [ "$won" = 0 ]; then
    # Without a winner the game must still be moving near the end.
    before=$(field 6 "$(tline 19000 "$TMP/trace-$build")")
    [ "$moves" -gt "$before" ] || fail "$build: no winner, yet no move after frame 19000"
  else
    # The winner holds every player-owned node at the move that decided it.
    decided=$(awk -v w="$won" '$1 == "T" && $5 == w { print; exit }' "$TMP/trace-$build")
    counts=$(field 8 "$decided")
    IFS=, read -r c0 c1 c2 c3 c4 <<<"$counts"
    c=($c0 $c1 $c2 $c3 $c4)
    expect_eq "$build: nodes of the others when player $won won" \
      "$((c1 + c2 + c3 + c4))" "${c[$won]}"
  fi
  echo "$build: $moves moves, winner $won"
done

# Run to run the same seed gives the same game, to the byte.
replay current "$SCRIPT" | cmp -s - "$TMP/trace-current" || fail "two runs of one seed differ"
finish
