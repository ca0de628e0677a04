#!/bin/bash
# A short soak of every build: seeded games of four computers at mixed
# strengths and of human seats played by random clicks, with random keys,
# motion and New Game presses, on the sanitized game library. The long soak
# is `make soak`.
#   soak_short.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
set -u
output_dir=$1
build_dir=$3
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

# In the output folder the sounds load, so every firing also goes through
# the mixer.
cd "$output_dir" || exit 1
status=0
for suffix in "" -r1 -r2 -r3; do
  soak=$build_dir/soak/spindrel-soak$suffix
  if [ ! -x "$soak" ]; then
    echo "FAIL: $soak is missing"
    status=1
    continue
  fi
  if ! "$soak" --games 12 --game-frames 25000 --seed 7; then
    echo "FAIL: spindrel-soak$suffix"
    status=1
  fi
done
exit $status
