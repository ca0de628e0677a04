#!/bin/bash
# Start-up of the real programs on SDL's dummy display, with data files
# missing or spoilt, one table row a run, each in a folder of its own. A
# sheet that fails is reported with its own line and ends the start-up; the
# sheets after it are never opened (they are FIFOs without a writer there,
# so opening one would hang). A sheet or sound that loads, however odd, lets
# the game run until it is asked to quit. The revisions print nothing. Every
# run exits with 0.
#   startup.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
set -u
out=$1
source "$2/tests/lib.sh"
export SDL_AUDIODRIVER=dummy

# spoil DIR FILE HOW
spoil() {
  rm -f "$1/$2"
  case $3 in
    missing) ;;
    never) mkfifo "$1/$2" ;;
    folder) mkdir "$1/$2" ;;
    empty) : >"$1/$2" ;;
    garbage) yes "not what it claims to be" | head -c 20000 >"$1/$2" ;;
    truncated) head -c 300 "$out/$2" >"$1/$2" ;;
    zero) printf 'BM\x36\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\0\0\0\0\0\0\0\0\x01\0\x18\0%24s' "" | tr ' ' '\0' >"$1/$2" ;;
    tiny) convert -size 1x1 xc:red "BMP3:$1/$2" ;;
  esac
}

# program, video driver, what it prints (FONT, UI, NODES: that sheet's
# failure; SDL: no display; runs: the game starts and quits cleanly; -:
# nothing at all), and the spoilt files.
table="
CSpindrel      dummy   FONT   font.bmp:missing ui.bmp:never nodes.bmp:never
CSpindrel      dummy   FONT   font.bmp:folder ui.bmp:never nodes.bmp:never
CSpindrel      dummy   UI     ui.bmp:zero nodes.bmp:never
CSpindrel      dummy   UI     ui.bmp:truncated nodes.bmp:never
CSpindrel      dummy   NODES  nodes.bmp:garbage
CSpindrel      none    SDL    font.bmp:never ui.bmp:never nodes.bmp:never
CSpindrel      dummy   runs   font.bmp:tiny
CSpindrel      dummy   runs   etm0507.mp3:garbage click.wav:empty
CSpindrel-r1   dummy   -      nodes.bmp:empty
CSpindrel-r2   dummy   -      font.bmp:missing ui.bmp:never nodes.bmp:never
CSpindrel-r3   none    -      font.bmp:never ui.bmp:never nodes.bmp:never
CSpindrel-r3   dummy   -      ui.bmp:tiny etm0507.mp3:missing
"
row=0
while read -r program driver expected files; do
  [ -n "$program" ] || continue
  row=$((row + 1))
  dir=$WORK/run$row
  mkdir "$dir"
  cp "$out/$program" "$out"/*.bmp "$out"/*.wav "$out"/*.mp3 "$dir"
  for f in $files; do spoil "$dir" "${f%%:*}" "${f#*:}"; done
  what="$program, video $driver, $files"
  case $expected in
    runs) lines="Program Started|Nodes freed|" ;;
    SDL) lines="Program Started|Couldn't start SDL|Nodes freed|" ;;
    -) lines="" ;;
    *) lines="Program Started|Couldn't load $expected|Nodes freed|" ;;
  esac
  if [ "$expected" = runs ] || [[ $files == *tiny* ]]; then
    play "$dir" "$program" SDL_VIDEODRIVER="$driver"
  else
    (cd "$dir" && SDL_VIDEODRIVER=$driver timeout -s KILL 20 "./$program" >stdout 2>/dev/null)
    status=$?
    [ "$status" = 137 ] && fail "$what: hung: it opened a sheet after a failure"
  fi
  [ "$(tr '\n' '|' <"$dir/stdout")" = "$lines" ] ||
    fail "$what: printed '$(tr '\n' '|' <"$dir/stdout")', expected '$lines'"
  [ "$status" = 0 ] || fail "$what: exit code $status"
done <<<"$table"
finish
