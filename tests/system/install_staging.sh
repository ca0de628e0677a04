#!/bin/bash
# Installing into a staging folder puts exactly the expected files in place,
# for the prefix the build was configured for (/usr gets Debian's layout for
# games, any other prefix bin/ and share/cspindrel/); an installed launcher
# starts its game from any folder; uninstall removes all of it.
set -u
out=$1 src=$2 build=$3
source "$src/tests/lib.sh"
stage=$WORK/stage
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
p=${prefix#/} bin=${prefix#/}/bin data=${prefix#/}/share/cspindrel
[ "$prefix" = /usr ] && bin=$p/games data=$p/share/games/cspindrel
make -s -C "$src" install-files BUILD="$build" DESTDIR="$stage" PREFIX="$prefix" >/dev/null ||
  fail "install-files failed"

expected="$p/share/metainfo/example.cspindrel.cspindrel.metainfo.xml
$p/share/doc/cspindrel/copyright $p/share/doc/cspindrel/changelog.gz"
for name in cspindrel cspindrel-r1 cspindrel-r2 cspindrel-r3; do
  desktop=$name
  [ $name = cspindrel ] && desktop=example.cspindrel.cspindrel
  expected="$expected $bin/$name $p/share/man/man6/$name.6.gz $p/share/applications/$desktop.desktop"
done
for name in CSpindrel CSpindrel-r1 CSpindrel-r2 CSpindrel-r3; do expected="$expected $p/libexec/cspindrel/$name"; done
for name in font.bmp ui.bmp nodes.bmp click.wav etm0507.mp3; do expected="$expected $data/$name"; done
for size in 16 32 48 64 128 256; do expected="$expected $p/share/icons/hicolor/${size}x${size}/apps/cspindrel.png"; done
installed=$(cd "$stage" && find . -type f -o -type l | sed 's|^\./||' | sort)
[ "$installed" = "$(tr ' ' '\n' <<<"$expected" | sort)" ] ||
  fail "installed files differ from the list: $(diff <(tr ' ' '\n' <<<"$expected" | sort) <(echo "$installed"))"

# The launcher, started from an unrelated folder, plays and quits cleanly.
mkdir "$WORK/elsewhere"
ln -s "$stage/$bin/cspindrel" "$WORK/elsewhere/cspindrel"
play "$WORK/elsewhere" cspindrel SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
[ "$status" = 0 ] && [ "$(tr '\n' '|' <"$WORK/elsewhere/stdout")" = "Program Started|Nodes freed|" ] ||
  fail "the launcher from elsewhere: exit code $status, printed $(cat "$WORK/elsewhere/stdout")"

make -s -C "$src" uninstall BUILD="$build" DESTDIR="$stage" PREFIX="$prefix" >/dev/null || fail "uninstall failed"
left=$(find "$stage" -mindepth 1 2>/dev/null)
[ -z "$left" ] || fail "uninstall left: $left"
finish
