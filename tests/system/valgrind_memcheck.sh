#!/bin/bash
# Memcheck on every program under Xvfb: start, a few hundred frames (memcheck
# slows the game to some 16 to 30 frames a second), a click, Escape. No
# invalid read or write, no use of an uninitialised value, and no leak
# outside what the system libraries keep (tests/valgrind.supp). This script
# checks CSpindrel; valgrind_r1.sh, valgrind_r2.sh and valgrind_r3.sh run it
# for the earlier revisions, each as a test of its own.
#   valgrind_memcheck.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
set -u
output_dir=$1
source_dir=$2
suppressions=$source_dir/tests/valgrind.supp
frame_seconds=12
export SDL_AUDIODRIVER=dummy  # the mixer runs, whatever sound the machine has
export SDL_VIDEODRIVER=x11    # never a fallback to a text-mode display

for tool in valgrind Xvfb xdotool; do
  command -v $tool > /dev/null || { echo "FAIL: $tool is not installed (make deps)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Waits until a command succeeds; the bound only catches a hang.
wait_for() {
  local tries=$1
  shift
  until "$@" 2> /dev/null; do
    sleep 0.2
    (( --tries > 0 )) || return 1
  done
}

# Runs the program under memcheck; writes PASS or FAIL with the reason.
check_program() {
  local program=$1 dir=$work/$1
  mkdir "$dir"
  (cd "$output_dir" && exec valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
     --errors-for-leak-kinds=definite,possible --num-callers=40 \
     --suppressions="$suppressions" --log-file="$dir/memcheck.log" "./$program") \
    > "$dir/stdout.txt" 2>&1 &
  local pid=$!
  local window=""
  find_window() { window=$(xdotool search --name "Spindrel-C by Tamwick 2005" | head -n 1); [ -n "$window" ]; }
  if wait_for 600 find_window; then
    sleep $frame_seconds
    xdotool mousemove --window "$window" --sync 400 300 click 1
    sleep 1
    xdotool windowfocus --sync "$window" key Escape
  fi
  local tries=600
  while kill -0 $pid 2> /dev/null; do
    sleep 0.2
    if (( --tries == 0 )); then
      kill -KILL $pid
      break
    fi
  done
  wait $pid
  local status=$?

  local reason=""
  if [ -z "$window" ]; then
    reason="no window appeared"
  elif [ $status -ne 0 ]; then
    reason="exit code $status (99: memcheck found errors)"
  elif ! grep -q "ERROR SUMMARY: 0 errors" "$dir/memcheck.log"; then
    reason="memcheck reports errors"
  elif [ "$program" = CSpindrel ] &&
       ! grep -q "mouse clicked on screen 400 300" "$dir/stdout.txt"; then
    reason="the click before Escape was not handled"
  elif [ "$program" = CSpindrel ] && [ "$(tail -n 1 "$dir/stdout.txt")" != "Nodes freed" ]; then
    reason="no clean shutdown"
  fi
  if [ -n "$reason" ]; then
    {
      echo "FAIL $program: $reason"
      sed 's/^/  stdout: /' "$dir/stdout.txt" | grep -v "^  stdout: ALSA" | head -n 20
      grep -E "^==[0-9]+== " "$dir/memcheck.log" | head -n 120
    } > "$dir/result"
  else
    echo "PASS $program: $(grep -o 'ERROR SUMMARY.*' "$dir/memcheck.log")" > "$dir/result"
  fi
}

program=${VALGRIND_PROGRAM:-CSpindrel}
[ -x "$output_dir/$program" ] || { echo "FAIL: $output_dir/$program is missing"; exit 1; }
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" 2> /dev/null &
server=$!
trap 'kill $server; rm -rf "$work"' EXIT
wait_for 100 test -s "$work/display" || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$(cat "$work/display")
check_program "$program"
cat "$work/$program/result"
grep -q '^PASS' "$work/$program/result"
