#!/bin/bash
# Installing into a staging folder puts every file in place; the installed
# launchers start the game from any working directory; uninstall removes
# exactly what was installed.
set -u
output=$1 source=$2 build=$3
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

make -s -C "$source" install-files BUILD="$build" DESTDIR="$stage" PREFIX=/usr >/dev/null ||
  fail "install-files failed"

expected="usr/bin/cspindrel usr/bin/cspindrel-r1 usr/bin/cspindrel-r2 usr/bin/cspindrel-r3
usr/libexec/cspindrel/CSpindrel usr/libexec/cspindrel/CSpindrel-r1
usr/libexec/cspindrel/CSpindrel-r2 usr/libexec/cspindrel/CSpindrel-r3
usr/share/cspindrel/font.bmp usr/share/cspindrel/ui.bmp usr/share/cspindrel/nodes.bmp
usr/share/cspindrel/click.wav usr/share/cspindrel/etm0507.mp3
usr/share/applications/cspindrel.desktop usr/share/applications/cspindrel-r1.desktop
usr/share/applications/cspindrel-r2.desktop usr/share/applications/cspindrel-r3.desktop
usr/share/pixmaps/cspindrel.xpm"
for file in $expected; do
  [ -s "$stage/$file" ] || fail "missing or empty: $file"
done
for launcher in cspindrel cspindrel-r1 cspindrel-r2 cspindrel-r3; do
  [ -x "$stage/usr/bin/$launcher" ] || fail "$launcher is not executable"
  grep -q "^Exec=$launcher\$" "$stage/usr/share/applications/$launcher.desktop" ||
    fail "$launcher.desktop does not start $launcher"
done
cmp -s "$output/nodes.bmp" "$stage/usr/share/cspindrel/nodes.bmp" || fail "nodes.bmp differs"
head -1 "$stage/usr/share/pixmaps/cspindrel.xpm" | grep -q XPM || fail "the icon is not an XPM"

# Each launcher, started from an unrelated folder, runs its game in a real
# window; Escape ends it with exit code 0.
elsewhere=$(mktemp -d)
for launcher in cspindrel cspindrel-r2; do
  log="$stage/$launcher.log"
  (cd "$elsewhere" && SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
      "$1" > "$2" 2>/dev/null &
      game=$!
      for i in $(seq 100); do
        window=$(xdotool search --name "Spindrel-C by Tamwick 2005" 2>/dev/null | head -1)
        [ -n "$window" ] && break
        sleep 0.1
      done
      [ -n "$window" ] || { kill -9 $game; exit 90; }
      sleep 0.5
      xdotool key --window "$window" Escape
      for i in $(seq 100); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
      kill -0 $game 2>/dev/null && { kill -9 $game; exit 91; }
      wait $game' _ "$stage/usr/bin/$launcher" "$log")
  status=$?
  [ "$status" = 0 ] || fail "$launcher from $elsewhere ended with $status"
done
rmdir "$elsewhere"
[ "$(head -1 "$stage/cspindrel.log")" = "Program Started" ] || fail "cspindrel printed no start line"
[ "$(tail -1 "$stage/cspindrel.log")" = "Nodes freed" ] || fail "cspindrel did not end with Nodes freed"
[ ! -s "$stage/cspindrel-r2.log" ] || fail "cspindrel-r2 printed something"
rm -f "$stage"/*.log

make -s -C "$source" uninstall BUILD="$build" DESTDIR="$stage" PREFIX=/usr >/dev/null ||
  fail "uninstall failed"
left=$(find "$stage" -mindepth 1)
[ -z "$left" ] || fail "uninstall left: $left"

[ "$failures" = 0 ] && echo "install checks passed"
[ "$failures" = 0 ]
