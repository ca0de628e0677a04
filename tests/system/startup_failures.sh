#!/bin/bash
# Start-up failures of the real programs under the dummy video driver: data
# files missing or broken, and a video driver that does not exist. Every run
# happens in a folder of its own holding copies of the programs and the data
# files. CSpindrel prints its exact lines; the revisions print nothing; every
# program exits with 0.
#
# A sheet that must never be tried is replaced by a FIFO with no writer:
# opening it would block, so a program that tries it hangs and is killed.
set -u
out=${1:?usage: startup_failures.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy
failures=0
runs=0

# A bitmap header that promises 0 x 0 pixels.
zero_bmp() {
  printf 'BM\x36\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\0\0\0\0\0\0\0\0\x01\0\x18\0' >"$1"
  printf '\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0' >>"$1"
}

# break_file DIR FILE HOW: leave a data file out or spoil it.
break_file() {
  local dir=$1 file=$2 how=$3
  rm -rf "${dir:?}/$file"
  case $how in
    missing) ;;
    never) mkfifo "$dir/$file" ;;
    truncated) head -c 300 "$out/$file" >"$dir/$file" ;;
    empty) : >"$dir/$file" ;;
    folder) mkdir "$dir/$file" ;;
    zero) zero_bmp "$dir/$file" ;;
    *) echo "unknown breakage $how" >&2; exit 2 ;;
  esac
}

# check PROGRAM DRIVER EXPECTED FILE:HOW...: runs PROGRAM in a fresh folder
# with the given files broken; EXPECTED is its whole standard output (\n
# escapes allowed).
check() {
  local program=$1 driver=$2 expected=$3
  shift 3
  runs=$((runs + 1))
  local dir="$work/run$runs"
  mkdir "$dir"
  cp "$out/$program" "$dir/"
  for f in font.bmp ui.bmp nodes.bmp click.wav etm0507.mp3; do
    [ -e "$out/$f" ] && cp "$out/$f" "$dir/"
  done
  local breakage
  for breakage in "$@"; do break_file "$dir" "${breakage%%:*}" "${breakage#*:}"; done
  local rc=0
  (cd "$dir" && SDL_VIDEODRIVER=$driver timeout -s KILL 20 "./$program" >stdout.txt 2>stderr.txt) || rc=$?
  local what="$program, driver $driver, files: ${*:-all present}"
  if [ "$rc" = 137 ]; then
    echo "FAIL: $what: hung (it tried a sheet it should never open)"
    failures=$((failures + 1))
    return
  fi
  local ok=1
  if [ "$rc" != 0 ]; then
    echo "FAIL: $what: exit code $rc"
    ok=0
  fi
  if ! cmp -s <(printf "$expected") "$dir/stdout.txt"; then
    echo "FAIL: $what: standard output differs"
    diff <(printf "$expected") "$dir/stdout.txt" | sed 's/^/    /'
    ok=0
  fi
  [ "$ok" = 1 ] || failures=$((failures + 1))
}

for f in CSpindrel CSpindrel-r1 CSpindrel-r2 CSpindrel-r3 font.bmp ui.bmp nodes.bmp; do
  [ -e "$out/$f" ] || { echo "FAIL: $out/$f is missing"; exit 1; }
done

started='Program Started\n'
freed='Nodes freed\n'
font="${started}Couldn't load FONT\n$freed"
ui="${started}Couldn't load UI\n$freed"
nodes="${started}Couldn't load NODES\n$freed"
sdl="${started}Couldn't start SDL\n$freed"

# The game. A failed sheet stops the loading: the later ones are never
# tried. (Every kind of broken sheet is the business of broken_files.sh.)
check CSpindrel dummy "$font" font.bmp:missing ui.bmp:never nodes.bmp:never
check CSpindrel dummy "$font" font.bmp:folder ui.bmp:never nodes.bmp:never
check CSpindrel dummy "$ui" ui.bmp:missing nodes.bmp:never
check CSpindrel dummy "$ui" ui.bmp:zero nodes.bmp:never
check CSpindrel dummy "$nodes" nodes.bmp:missing
# Without a display no sheet is tried at all.
check CSpindrel no-such-driver "$sdl" font.bmp:never ui.bmp:never nodes.bmp:never
check CSpindrel no-such-driver "$sdl"

# The revisions fail the same way, silently.
for program in CSpindrel-r1 CSpindrel-r2 CSpindrel-r3; do
  check "$program" dummy "" font.bmp:missing ui.bmp:never nodes.bmp:never
  check "$program" dummy "" ui.bmp:truncated nodes.bmp:never
  check "$program" dummy "" nodes.bmp:empty
  check "$program" no-such-driver "" font.bmp:never ui.bmp:never nodes.bmp:never
done

echo "$((runs - failures)) passed, $failures failed"
[ "$failures" = 0 ]
