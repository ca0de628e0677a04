#!/bin/bash
# The real program against broken versions of each of its five data files,
# one broken file at a time, each run in its own folder beside good copies
# of the others. A sheet that cannot be loaded is reported with its own
# "Couldn't load" line and the program shuts down cleanly; a sheet that loads
# (whatever its size or format) is drawn clipped, and the game runs until it
# is asked to quit. A broken sound leaves the game running, silent. Every run
# exits with 0. CSpindrel runs the table as built; the programs of all four
# builds run it again on the game library built with AddressSanitizer and
# UndefinedBehaviorSanitizer, which also catch a read outside a sheet in our
# own code.
# This script runs the sheets' rows; broken_sounds.sh runs it for the
# sounds' rows, so that each half has its own time.
#   broken_files.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
set -u
rows=${BROKEN_ROWS:-sheets}
output_dir=$1
build_dir=$3
soak_dir=$build_dir/soak
breaker=$soak_dir/spindrel-break-file
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
# A wave that claims a 4 GB data chunk makes SDL allocate that much before
# it finds the data missing. AddressSanitizer would spend minutes poisoning
# the block; capped, the allocation fails as on a small machine, and the
# program must survive that too. The unsanitized run takes the other path.
export ASAN_OPTIONS=allocator_may_return_null=1:max_allocation_size_mb=1024:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
jobs_at_once=6
run_seconds=0.5  # some thirty frames before the quit request

# file kind expected: FONT, UI or NODES for the "Couldn't load" line, or
# "runs" when the game starts and quits cleanly.
table='
font.bmp    missing           FONT
font.bmp    empty             FONT
font.bmp    truncated-header  FONT
font.bmp    truncated         FONT
font.bmp    garbage           FONT
font.bmp    wrong-magic       FONT
font.bmp    0x0               FONT
font.bmp    huge              FONT
font.bmp    1x1               runs
font.bmp    8bit              runs
font.bmp    16bit             runs
font.bmp    1bit              runs
ui.bmp      missing           UI
ui.bmp      empty             UI
ui.bmp      truncated-header  UI
ui.bmp      truncated         UI
ui.bmp      garbage           UI
ui.bmp      wrong-magic       UI
ui.bmp      0x0               UI
ui.bmp      huge              UI
ui.bmp      1x1               runs
ui.bmp      8bit              runs
ui.bmp      16bit             runs
ui.bmp      1bit              runs
nodes.bmp   missing           NODES
nodes.bmp   empty             NODES
nodes.bmp   truncated-header  NODES
nodes.bmp   truncated         NODES
nodes.bmp   garbage           NODES
nodes.bmp   wrong-magic       NODES
nodes.bmp   0x0               NODES
nodes.bmp   huge              NODES
nodes.bmp   1x1               runs
nodes.bmp   8bit              runs
nodes.bmp   16bit             runs
nodes.bmp   1bit              runs
click.wav   missing           runs
click.wav   empty             runs
click.wav   truncated-header  runs
click.wav   truncated         runs
click.wav   garbage           runs
click.wav   wrong-magic       runs
click.wav   one-sample        runs
click.wav   no-channels       runs
click.wav   8bit              runs
click.wav   16bit             runs
click.wav   1bit              runs
click.wav   huge              runs
etm0507.mp3 missing           runs
etm0507.mp3 empty             runs
etm0507.mp3 truncated-header  runs
etm0507.mp3 truncated         runs
etm0507.mp3 garbage           runs
etm0507.mp3 wrong-magic       runs
etm0507.mp3 one-frame         runs
etm0507.mp3 tag-only          runs
etm0507.mp3 huge              runs
'

programs=("$output_dir/CSpindrel" "$soak_dir/CSpindrel-asan" "$soak_dir/CSpindrel-r1-asan"
          "$soak_dir/CSpindrel-r2-asan" "$soak_dir/CSpindrel-r3-asan")
for program in "$breaker" "${programs[@]}"; do
  [ -x "$program" ] || { echo "FAIL: $program is missing"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data_files="font.bmp ui.bmp nodes.bmp click.wav etm0507.mp3"
for f in $data_files; do
  [ -f "$output_dir/$f" ] || { echo "FAIL: $output_dir/$f is missing"; exit 1; }
done

# The broken files, made once.
mkdir "$work/broken"
while read -r file kind expected; do
  [ -n "$file" ] && [ "$kind" != missing ] || continue
  if [ "$rows" = sheets ]; then [[ $file == *.bmp ]] || continue; else [[ $file != *.bmp ]] || continue; fi
  if ! "$breaker" "$kind" "$output_dir/$file" "$work/broken/$kind.$file"; then
    echo "FAIL: cannot make $kind $file"
    exit 1
  fi
done <<< "$table"

# True once the program (not the shell that starts it) catches SIGINT, as
# SDL does from the start of video on, or once it has ended. Reads /proc
# without starting a process.
sigint_caught() {
  local pid=$1 name=$2 comm key value rest
  read -r comm 2> /dev/null < "/proc/$pid/comm" || return 0
  [ "$comm" = "${name:0:15}" ] || return 1
  while read -r key value rest; do
    case $key in
      State:) [ "$value" = Z ] && return 0 ;;
      SigCgt:) (( (16#$value & 2) != 0 )) && return 0 ;;
    esac
  done 2> /dev/null < "/proc/$pid/status"
  return 1
}

# Runs one program against one broken file and writes PASS or FAIL with the
# reason to the case's result file.
run_case() {
  local program=$1 file=$2 kind=$3 expected=$4 dir=$5
  local name=${program##*/}
  mkdir "$dir"
  for f in $data_files; do
    [ "$f" = "$file" ] || ln -s "$output_dir/$f" "$dir/$f"
  done
  [ "$kind" = missing ] || cp "$work/broken/$kind.$file" "$dir/$file"

  (cd "$dir" && exec "$program" > stdout.txt 2> stderr.txt) &
  local pid=$! waited=0
  if [ "$expected" = runs ]; then
    # Wait until the program listens for the quit request, let the game run,
    # then ask it to quit. The bound only catches a hang.
    until sigint_caught $pid "$name"; do
      sleep 0.05
      (( ++waited < 1200 )) || break
    done
    sleep $run_seconds
    kill -INT $pid 2> /dev/null
  fi
  # A start-up failure ends the program by itself.
  waited=0
  local state
  while read -r _ _ state _ 2> /dev/null < "/proc/$pid/stat" && [ "$state" != Z ]; do
    sleep 0.05
    if (( ++waited > 1200 )); then
      kill -KILL $pid
      break
    fi
  done
  wait $pid
  local status=$?

  local out reason=""
  out=$(cat "$dir/stdout.txt")
  if [ $status -ne 0 ]; then
    reason="exit code $status"
  elif grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$dir/stderr.txt"; then
    reason="sanitizer report"
  elif [[ $name == *-r[123]* ]]; then
    [ -z "$out" ] || reason="an earlier revision printed something"
  elif [ "$expected" = runs ]; then
    if [ "$(head -n 1 <<< "$out")" != "Program Started" ] ||
       [ "$(tail -n 1 <<< "$out")" != "Nodes freed" ] || grep -q "Couldn't" <<< "$out"; then
      reason="the game did not run and shut down cleanly"
    fi
  else
    [ "$out" = $'Program Started\nCouldn'"'"$'t load '"$expected"$'\nNodes freed' ] ||
      reason="expected the lines Program Started, Couldn't load $expected, Nodes freed"
  fi
  if [ -n "$reason" ]; then
    {
      echo "FAIL $name with $kind $file: $reason"
      sed 's/^/  stdout: /' "$dir/stdout.txt" | head -n 8
      grep -v "failed to allocate" "$dir/stderr.txt" | sed 's/^/  stderr: /' | head -n 30
    } > "$dir/result"
  else
    echo "PASS $name with $kind $file" > "$dir/result"
  fi
}

# The sound module has no build settings: its rows run in the game and its
# sanitized twin only; the sheets' rows run in every build.
n=0
for program in "${programs[@]}"; do
  while read -r file kind expected; do
    [ -n "$file" ] || continue
    if [ "$rows" = sheets ]; then
      [[ $file == *.bmp ]] || continue
    else
      [[ $file != *.bmp && $program != *-r[123]-asan ]] || continue
    fi
    n=$((n + 1))
    while (( $(jobs -rp | wc -l) >= jobs_at_once )); do wait -n; done
    run_case "$program" "$file" "$kind" "$expected" "$work/case$n" &
  done <<< "$table"
done
wait

failures=0
for ((i = 1; i <= n; i++)); do
  if [ ! -f "$work/case$i/result" ]; then
    echo "FAIL case $i left no result"
    failures=$((failures + 1))
  elif grep -q '^FAIL' "$work/case$i/result"; then
    cat "$work/case$i/result"
    failures=$((failures + 1))
  fi
done
echo "$((n - failures)) of $n runs passed"
[ $failures -eq 0 ]
