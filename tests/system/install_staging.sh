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

# The install into the prefix the build was configured for: /usr gets
# Debian's layout for games, any other prefix bin/ and share/cspindrel/.
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
p=${prefix#/}
if [ "$prefix" = /usr ]; then bin=$p/games data=$p/share/games/cspindrel
else bin=$p/bin data=$p/share/cspindrel; fi
make -s -C "$source" install-files BUILD="$build" DESTDIR="$stage" PREFIX="$prefix" >/dev/null ||
  fail "install-files failed"

expected="$bin/cspindrel $bin/cspindrel-r1 $bin/cspindrel-r2 $bin/cspindrel-r3
$p/libexec/cspindrel/CSpindrel $p/libexec/cspindrel/CSpindrel-r1
$p/libexec/cspindrel/CSpindrel-r2 $p/libexec/cspindrel/CSpindrel-r3
$data/font.bmp $data/ui.bmp $data/nodes.bmp $data/click.wav $data/etm0507.mp3
$p/share/applications/example.cspindrel.cspindrel.desktop
$p/share/applications/cspindrel-r1.desktop $p/share/applications/cspindrel-r2.desktop
$p/share/applications/cspindrel-r3.desktop
$p/share/metainfo/example.cspindrel.cspindrel.metainfo.xml
$p/share/man/man6/cspindrel.6.gz $p/share/man/man6/cspindrel-r1.6.gz
$p/share/man/man6/cspindrel-r2.6.gz $p/share/man/man6/cspindrel-r3.6.gz
$p/share/doc/cspindrel/copyright $p/share/doc/cspindrel/changelog.gz"
for size in 16 32 48 64 128 256; do
  expected="$expected $p/share/icons/hicolor/${size}x${size}/apps/cspindrel.png"
done
for file in $expected; do
  [ -s "$stage/$file" ] || fail "missing or empty: $file"
done
unexpected=$(cd "$stage" && find . -type f -o -type l | sed 's|^\./||' | grep -vxF -f <(tr ' ' '\n' <<<"$expected"))
[ -z "$unexpected" ] || fail "installed beyond the list: $unexpected"
for launcher in cspindrel cspindrel-r1 cspindrel-r2 cspindrel-r3; do
  [ -x "$stage/$bin/$launcher" ] || fail "$launcher is not executable"
  [ "$launcher" = cspindrel ] && entry=example.cspindrel.cspindrel || entry=$launcher
  grep -q "^Exec=$launcher\$" "$stage/$p/share/applications/$entry.desktop" ||
    fail "$entry.desktop does not start $launcher"
done
cmp -s "$output/nodes.bmp" "$stage/$data/nodes.bmp" || fail "nodes.bmp differs"
for revision in r1 r2 r3; do
  [ "$(readlink "$stage/$p/share/man/man6/cspindrel-$revision.6.gz")" = cspindrel.6.gz ] ||
    fail "the manual page of cspindrel-$revision is not a link to cspindrel's"
done
zcat "$stage/$p/share/man/man6/cspindrel.6.gz" | grep -qxF ".IR /$data :" ||
  fail "the manual page does not name the data folder /$data"

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
      wait $game' _ "$stage/$bin/$launcher" "$log")
  status=$?
  [ "$status" = 0 ] || fail "$launcher from $elsewhere ended with $status"
done
rmdir "$elsewhere"
[ "$(head -1 "$stage/cspindrel.log")" = "Program Started" ] || fail "cspindrel printed no start line"
[ "$(tail -1 "$stage/cspindrel.log")" = "Nodes freed" ] || fail "cspindrel did not end with Nodes freed"
[ ! -s "$stage/cspindrel-r2.log" ] || fail "cspindrel-r2 printed something"
rm -f "$stage"/*.log

make -s -C "$source" uninstall BUILD="$build" DESTDIR="$stage" PREFIX="$prefix" >/dev/null ||
  fail "uninstall failed"
left=$(find "$stage" -mindepth 1)
[ -z "$left" ] || fail "uninstall left: $left"

[ "$failures" = 0 ] && echo "install checks passed"
[ "$failures" = 0 ]
