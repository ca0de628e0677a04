#!/bin/bash
# Start-up of the real programs with data files missing or spoilt, one table
# row a run in a folder of its own. A sheet that fails ends the start-up with
# its own line; the sheets after it are FIFOs without a writer, which would
# hang if opened. Anything that loads, however odd, and a missing audio
# device let the game play until asked to quit; the disk audio driver shows
# the deal's firings heard and a spoilt firing sound silent. Exit code 0.
#   startup.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
set -u
out=$1
source "$2/tests/lib.sh"

# spoil DIR FILE HOW
spoil() {
  rm -f "$1/$2"
  case $3 in
    missing) ;;
    never) mkfifo "$1/$2" ;;
    empty) : >"$1/$2" ;;
    garbage) yes "not what it claims to be" | head -c 20000 >"$1/$2" ;;
    truncated) head -c 300 "$out/$2" >"$1/$2" ;;
    zero) printf 'BM\x36\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\0\0\0\0\0\0\0\0\x01\0\x18\0%24s' "" | tr ' ' '\0' >"$1/$2" ;;
    tiny) convert -size 1x1 xc:red "BMP3:$1/$2" ;;
  esac
}

# program, video/audio driver, what it prints (FONT, UI, NODES: that
# sheet's failure; SDL: no display; runs: it starts, plays and quits; -:
# nothing at all), what it sounds like (loud, silent or - for no sound
# file), and the spoilt files.
table="
CSpindrel      dummy/dummy  FONT   -       font.bmp:missing ui.bmp:never nodes.bmp:never
CSpindrel      dummy/dummy  UI     -       ui.bmp:zero nodes.bmp:never
CSpindrel      dummy/dummy  UI     -       ui.bmp:truncated nodes.bmp:never
CSpindrel      dummy/dummy  NODES  -       nodes.bmp:garbage
CSpindrel      none/dummy   SDL    -       font.bmp:never ui.bmp:never nodes.bmp:never
CSpindrel      dummy/disk   runs   loud    font.bmp:tiny
CSpindrel      dummy/disk   runs   silent  etm0507.mp3:garbage click.wav:empty
CSpindrel      dummy/disk   runs   silent  etm0507.mp3:empty
CSpindrel      dummy/none   runs   -       etm0507.mp3:missing
CSpindrel-r1   dummy/dummy  -      -       nodes.bmp:empty
CSpindrel-r2   dummy/dummy  -      -       font.bmp:missing ui.bmp:never nodes.bmp:never
CSpindrel-r3   none/dummy   -      -       font.bmp:never ui.bmp:never nodes.bmp:never
CSpindrel-r3   dummy/disk   -      loud    ui.bmp:tiny
"
# RMS and peak of the raw output.
levels() {
  od -An -v -td2 -w2 "$1" | awk '
    { s += $1 * $1; a = $1 < 0 ? -$1 : $1; if (a > p) p = a; n++ }
    END { printf "%d %d\n", n ? sqrt(s / n) : 0, p }'
}

while read -r program drivers expected sound files; do
  [ -n "$program" ] || continue
  dir=$(mktemp -d -p "$WORK")
  cp "$out/$program" "$out"/*.bmp "$out"/*.wav "$out"/*.mp3 "$dir"
  for f in $files; do spoil "$dir" "${f%%:*}" "${f#*:}"; done
  what="$program, video/audio $drivers, $files"
  export SDL_AUDIODRIVER=${drivers#*/} SDL_DISKAUDIOFILE=$dir/audio.raw SDL_DISKAUDIODELAY=16
  case $expected in
    runs) lines="Program Started|Nodes freed|" ;;
    SDL) lines="Program Started|Couldn't start SDL|Nodes freed|" ;;
    -) lines="" ;;
    *) lines="Program Started|Couldn't load $expected|Nodes freed|" ;;
  esac
  if [ "$sound" != - ] || [ "$expected" = runs ]; then
    play "$dir" "$program" SDL_VIDEODRIVER="${drivers%/*}"
  else
    (cd "$dir" && SDL_VIDEODRIVER=${drivers%/*} timeout -s KILL 20 "./$program" >stdout 2>/dev/null)
    status=$?
    [ "$status" = 137 ] && fail "$what: hung: it opened a sheet after a failure"
  fi
  [ "$(tr '\n' '|' <"$dir/stdout")" = "$lines" ] ||
    fail "$what: printed '$(tr '\n' '|' <"$dir/stdout")', expected '$lines'"
  [ "$status" = 0 ] || fail "$what: exit code $status"
  [ "$sound" = - ] && continue
  read -r rms peak < <(levels "$dir/audio.raw")
  echo "$what: RMS $rms, peak $peak over $(($(stat -c %s "$dir/audio.raw") / 4)) frames"
  [ "$sound" = silent ] || [ "$rms" -ge 100 ] || fail "$what: the firings were not heard"
  [ "$sound" = loud ] || { [ -s "$dir/audio.raw" ] && [ "$peak" = 0 ]; } || fail "$what: expected silence"
done <<<"$table"
finish
