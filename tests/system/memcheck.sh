#!/bin/bash
# The game under memcheck on the dummy display: start-up, some seconds of the
# four-computer opening (every frame's rules and drawing), then a quit
# request and shutdown. No invalid read or write, no uninitialised value,
# no leak beyond what the system libraries keep (tests/valgrind.supp). One
# program is enough: the others compile the same sources.
#   memcheck.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
set -u
out=$1 src=$(cd "$2" && pwd)
source "$src/tests/lib.sh"
mkdir "$WORK/game"
cp "$out/CSpindrel" "$out"/*.bmp "$out"/*.wav "$out"/*.mp3 "$WORK/game"
cat >"$WORK/game/memcheck" <<SCRIPT
#!/bin/sh
exec valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
  --errors-for-leak-kinds=definite,possible --suppressions="$src/tests/valgrind.supp" \
  --log-file=memcheck.log ./CSpindrel
SCRIPT
chmod +x "$WORK/game/memcheck"
# Valgrind catches every signal itself, so the game is asked to quit a few
# seconds after it has said it started, not when SDL's handler is in.
(cd "$WORK/game" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy exec ./memcheck >stdout 2>&1) &
pid=$!
PIDS=$pid
for ((tries = 0; tries < 600; tries++)); do
  grep -q "Program Started" "$WORK/game/stdout" && break
  sleep 0.1
done
sleep 4
kill -TERM $pid
wait $pid
status=$?
[ "$status" = 0 ] || fail "exit code $status (99: memcheck found errors)"
[ "$(tail -1 "$WORK/game/stdout")" = "Nodes freed" ] || fail "no clean shutdown"
grep -q "ERROR SUMMARY: 0 errors" "$WORK/game/memcheck.log" || fail "memcheck found errors"
[ "$FAILURES" = 0 ] || grep -E "^==[0-9]+== " "$WORK/game/memcheck.log" | head -80
grep -o "ERROR SUMMARY.*" "$WORK/game/memcheck.log"
finish
