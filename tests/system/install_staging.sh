#!/bin/bash
# Installing into a staging folder puts exactly the expected files in place,
# for the prefix the build was configured for (/usr gets Debian's layout for
# games, any other prefix bin/ and share/cspindrel/); an installed launcher
# starts its game from any folder; uninstall removes all of it.
set -u
src=$2 build=$3
source "$src/tests/lib.sh"
stage=$WORK/stage
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
bin=$(installed_files "$prefix" "$build" | grep -m1 '/cspindrel$')
make -s -C "$src" install-files BUILD="$build" DESTDIR="$stage" PREFIX="$prefix" >/dev/null ||
  fail "install-files failed"

installed=$(cd "$stage" && find . -type f -o -type l | sed 's|^\.||' | sort)
[ "$installed" = "$(installed_files "$prefix" "$build")" ] ||
  fail "installed files differ from the list: $(diff <(installed_files "$prefix" "$build") <(echo "$installed"))"

# The launcher, started from an unrelated folder, plays and quits cleanly.
mkdir "$WORK/elsewhere"
ln -s "$stage$bin" "$WORK/elsewhere/cspindrel"
play "$WORK/elsewhere" cspindrel SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
if [ "$status" != 0 ] || [ "$(tr '\n' '|' <"$WORK/elsewhere/stdout")" != "Program Started|Nodes freed|" ]; then
  fail "the launcher from elsewhere: exit code $status, printed $(cat "$WORK/elsewhere/stdout")"
fi

make -s -C "$src" uninstall BUILD="$build" DESTDIR="$stage" PREFIX="$prefix" >/dev/null || fail "uninstall failed"
left=$(find "$stage" -mindepth 1 2>/dev/null)
[ -z "$left" ] || fail "uninstall left: $left"
finish
