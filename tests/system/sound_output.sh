#!/bin/bash
# The firing sound as the real programs play it. Audio goes through SDL's
# disk driver into a raw file (16-bit stereo at 32000 Hz), video through the
# dummy driver; every run happens in a copy of the output folder, so the
# sound files can be broken there.
#
#   The opening deal fires nodes, so every program writes audible output.
#   With etm0507.mp3 missing, empty or garbage the game plays on in silence.
#   Without an audio device the game still starts, plays and exits 0.
#   None of these writes a word about sound.
#
# usage: sound_output.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
set -u
out=$1

work=$(mktemp -d /tmp/spindrel-sound-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A fresh copy of the programs and data files in $work/$1.
prepare() {
  mkdir -p "$work/$1"
  cp "$out"/CSpindrel* "$out"/*.bmp "$out"/click.wav "$out"/etm0507.mp3 "$work/$1/"
}

# True once the process has SDL's SIGTERM handler in place (video has
# started), so that SIGTERM arrives as a quit request rather than a kill.
# (Not SIGINT: a background job may start with it ignored, and SDL then
# leaves it ignored.)
catches_sigterm() {
  local mask
  mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$mask" ] && (((0x$mask & 0x4000) != 0))
}

# True once the raw output holds audible sound.
audible() {
  [ -s "$1" ] || return 1
  local frames rms peak
  read -r frames rms peak < <(levels "$1")
  [ "$rms" -ge 100 ]
}

# play FOLDER PROGRAM DRIVER [CONDITION...]: runs the program in the folder
# until it has started, then until the condition holds (given: polled, at
# most a minute; not given: two more seconds of play), then asks it to quit
# with SIGTERM, which SDL delivers as a quit request. Sets `status` to its
# exit code and `met` to whether the condition held; the program must still
# be running when asked to quit.
play() {
  local folder=$1 program=$2 driver=$3
  shift 3
  (cd "$folder" && exec env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER="$driver" \
    SDL_DISKAUDIOFILE="$folder/audio.raw" SDL_DISKAUDIODELAY=16 \
    "./$program" >"$folder/stdout" 2>"$folder/stderr") &
  local pid=$! tries
  for ((tries = 0; tries < 1200; tries++)); do
    catches_sigterm "$pid" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  met=1
  if [ $# -eq 0 ]; then
    sleep 2
  else
    met=0
    for ((tries = 0; tries < 300; tries++)); do
      if "$@"; then
        met=1
        break
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.2
    done
  fi
  if kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid"
    wait "$pid"
    status=$?
  else
    wait "$pid"
    status=$?
    fail "$program in $(basename "$folder") ended by itself (exit $status)"
  fi
  [ "$status" -eq 0 ] || fail "$program in $(basename "$folder") exited with $status"
  # Only SDL's own notice about the disk driver may appear on stderr, and
  # nothing about sound on stdout.
  if grep -qv -e "disk writer audio driver" -e "disk i/o audio driver" -e "Writing to file" "$folder/stderr"; then
    fail "$program in $(basename "$folder") wrote to stderr:"
    cat "$folder/stderr"
  fi
  if grep -qiE "sound|audio|mp3|mpg123|mixer|wav" "$folder/stdout"; then
    fail "$program in $(basename "$folder") printed about sound:"
    cat "$folder/stdout"
  fi
}

# Frames, RMS and peak of the raw 16-bit output.
levels() {
  od -An -v -td2 -w2 "$1" | awk '
    { s += $1 * $1; a = $1 < 0 ? -$1 : $1; if (a > p) p = a; n++ }
    END { if (n == 0) print 0, 0, 0; else printf "%d %.0f %d\n", n / 2, sqrt(s / n), p }'
}

# Every program: audible firings from the opening deal.
for program in CSpindrel CSpindrel-r1 CSpindrel-r2 CSpindrel-r3; do
  folder="$work/intact-$program"
  prepare "intact-$program"
  play "$folder" "$program" disk audible "$folder/audio.raw"
  [ "$met" -eq 1 ] || fail "$program: the output stayed silent"
  [ -s "$folder/audio.raw" ] || continue
  read -r frames rms peak < <(levels "$folder/audio.raw")
  echo "$program: $frames frames, RMS $rms, peak $peak"
done

# Broken firing sound: the game runs on, silent.
for broken in missing empty garbage; do
  folder="$work/$broken"
  prepare "$broken"
  case $broken in
    missing) rm "$folder/etm0507.mp3" ;;
    empty) : >"$folder/etm0507.mp3" ;;
    garbage) yes "not a sound at all" | head -c 20000 >"$folder/etm0507.mp3" ;;
  esac
  play "$folder" CSpindrel disk
  if [ ! -s "$folder/audio.raw" ]; then
    fail "$broken etm0507.mp3: the mixer wrote nothing at all"
    continue
  fi
  read -r frames rms peak < <(levels "$folder/audio.raw")
  echo "$broken etm0507.mp3: $frames frames, peak $peak"
  [ "$peak" -eq 0 ] || fail "$broken etm0507.mp3: expected silence, peak $peak"
done

# No audio device at all.
prepare nodevice
play "$work/nodevice" CSpindrel no-such-driver
if grep -q "Couldn't" "$work/nodevice/stdout"; then
  fail "without an audio device the game did not start:"
  cat "$work/nodevice/stdout"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all sound checks passed"
