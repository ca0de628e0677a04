#!/bin/bash
# The replay tool's own contract: malformed scripts are refused before any
# frame runs, the script comes from a file or standard input, quitting stops
# the frames, and screenshots are BMPs of the window.
set -u
OUT=$1
SRC=$2
source "$SRC/tests/replay/replay_lib.sh"

# Each bad script names its bad line: "LINE|SCRIPT" with \n between lines.
bad_scripts=(
  "1|bogus 3"
  "2|frames 5\nat 0 click 10 10"
  "3|# a comment\n\nat 2 key F\nframes 5"
  "1|seed -1\nframes 2"
  "1|seed 4294967296"
  "2|frames 2\nat 3 click 1 1"
  "2|frames 2\nat 1 button 6 10 10"
  "2|frames 2\nat 1 click 10"
  "2|frames 2\nat 1 motion 10 70000"
  "2|frames 2\nat 1 screenshot"
  "3|seed 1\nframes 2\nframes 3"
  "2|frames 2\nat 1 quit now"
)
for entry in "${bad_scripts[@]}"; do
  line=${entry%%|*}
  printf "${entry#*|}\n" >"$TMP/bad"
  replay current "$TMP/bad" >"$TMP/out" 2>"$TMP/err"
  code=$?
  what="script '${entry#*|}'"
  [ "$code" -ne 0 ] || fail "$what: exit code 0"
  [ -s "$TMP/out" ] && fail "$what: printed a trace"
  grep -q "line $line:" "$TMP/err" || fail "$what: message does not name line $line: $(cat "$TMP/err")"
done
replay current "$TMP/no-such-file" >"$TMP/out" 2>"$TMP/err" && fail "a missing script file succeeded"

# The same script from a file and from standard input; every event kind is
# accepted, and Escape in frame 4 ends the run after frame 4.
cat >"$TMP/good" <<'SCRIPT'
# every kind of line
seed 77
frames 9
at 1 motion 5 5
at 2 button 3 100 100
at 2 keyup escape
at 3 key space
at 3 key return
at 3 key a
at 3 key 7
at 4 key escape
at 5 click 100 420
SCRIPT
replay current "$TMP/good" >"$TMP/from-file" || fail "good script: exit code $?"
(cd "$OUT" && timeout -s KILL 60 ./spindrel-replay <"$TMP/good") >"$TMP/from-stdin" || fail "stdin: exit code $?"
cmp -s "$TMP/from-file" "$TMP/from-stdin" || fail "file and standard input give different traces"
expect_eq "Escape in frame 4: frames run" "1 2 3 4" "$(awk '{ print $2 }' "$TMP/from-file" | xargs)"
printf 'frames 9\nat 2 quit\n' >"$TMP/quit"
expect_eq "close request in frame 2: frames run" "1 2" "$(replay r2 "$TMP/quit" | awk '{ print $2 }' | xargs)"

# Screenshots: a BMP of the window's size, and drawing changes nothing.
for build in $BUILDS; do
  printf 'seed 5\nframes 3\nat 3 screenshot %s\n' "$TMP/shot-$build.bmp" >"$TMP/shot"
  printf 'seed 5\nframes 3\n' >"$TMP/plain"
  replay "$build" "$TMP/shot" >"$TMP/with" || fail "$build screenshot: exit code $?"
  replay "$build" "$TMP/plain" >"$TMP/without"
  cmp -s "$TMP/with" "$TMP/without" || fail "$build: a screenshot changed the trace"
  bmp="$TMP/shot-$build.bmp"
  expect_eq "$build screenshot magic" "BM" "$(head -c 2 "$bmp" 2>/dev/null)"
  size=$(od -An -t d4 -j 18 -N 8 "$bmp" 2>/dev/null | xargs)
  expect_eq "$build screenshot size" "${WIDTH[$build]} ${HEIGHT[$build]}" "$size"
done
# Without the sheets in the working directory a screenshot cannot be drawn.
(cd "$TMP" && timeout -s KILL 60 "$OUT/spindrel-replay" "$TMP/shot") >"$TMP/out" 2>"$TMP/err" &&
  fail "screenshot without sheets succeeded"
[ -s "$TMP/out" ] && fail "screenshot without sheets printed a trace"
grep -q "font.bmp" "$TMP/err" || fail "no word of the missing sheet: $(cat "$TMP/err")"
finish
