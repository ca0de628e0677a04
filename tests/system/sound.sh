#!/bin/bash
# The firing sound as the real game plays it, mixed by SDL's disk driver
# into a raw file (16-bit stereo at 32000 Hz) on the dummy display. The
# opening deal fires nodes, so the output is audible; with a spoilt firing
# sound the game plays on in silence; without any audio device it plays on.
# None of this prints a word.
#   sound.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
set -u
out=$1
source "$2/tests/lib.sh"

# RMS and peak of the raw output.
levels() {
  od -An -v -td2 -w2 "$1" | awk '
    { s += $1 * $1; a = $1 < 0 ? -$1 : $1; if (a > p) p = a; n++ }
    END { printf "%d %d\n", n ? sqrt(s / n) : 0, p }'
}

for case in intact empty garbage nodevice; do
  dir=$WORK/$case
  mkdir "$dir"
  cp "$out/CSpindrel" "$out"/*.bmp "$out"/*.wav "$out"/*.mp3 "$dir"
  case $case in
    empty) : >"$dir/etm0507.mp3" ;;
    garbage) yes "not a sound at all" | head -c 20000 >"$dir/etm0507.mp3" ;;
  esac
  driver=disk
  [ $case = nodevice ] && driver=no-such-driver
  play "$dir" CSpindrel SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=$driver \
    SDL_DISKAUDIOFILE="$dir/audio.raw" SDL_DISKAUDIODELAY=16
  [ "$status" = 0 ] || fail "$case: exit code $status"
  [ "$(tr '\n' '|' <"$dir/stdout")" = "Program Started|Nodes freed|" ] ||
    fail "$case: printed $(cat "$dir/stdout")"
  [ $case = nodevice ] && continue
  read -r rms peak < <(levels "$dir/audio.raw")
  echo "$case: RMS $rms, peak $peak over $(($(stat -c %s "$dir/audio.raw") / 4)) frames"
  if [ $case = intact ]; then
    [ "$rms" -ge 100 ] || fail "the firings were not heard"
  else
    [ "$(stat -c %s "$dir/audio.raw")" -gt 0 ] && [ "$peak" = 0 ] || fail "$case: expected silence"
  fi
done
finish
