#!/bin/bash
# The Debian package as a player gets it: lintian finds nothing to report;
# the package holds the programs, launchers, data files, manual pages,
# desktop entries, icons and AppStream entry, and the desktop, AppStream and
# manual page checkers accept them; apt-get installs it, cspindrel opens its
# window from an unrelated folder and quits on Escape with exit code 0, man
# finds its page, and purging the package leaves none of its files behind.
#   check_package.sh SOURCE BUILD   (run by make test-package after make deb)
set -u
src=$(cd "$1" && pwd) build=$2
source "$src/tests/lib.sh"
trap 'for p in $PIDS; do kill -9 "$p" 2>/dev/null; done; apt_get purge cspindrel; rm -rf "$WORK"' EXIT
lint_deb cspindrel "$build"

dpkg-deb -x "$deb" "$WORK/tree"
# Every library the game links comes from a package that Depends names,
# whatever this release calls it.
depends=$(dpkg-deb -f "$deb" Depends | sed 's/[,|]/\n/g' | awk '{ print $1 }')
for library in $(objdump -p "$WORK/tree/usr/libexec/cspindrel/CSpindrel" | awk '$1 == "NEEDED" { print $2 }'); do
  # The packages that hold it, as a link or as the file (with /usr merged).
  path=$(ldconfig -p | awk -v l="$library" '$1 == l { print $NF; exit }')
  owners=$(for p in "$path" "$(readlink -f "$path")"; do dpkg -S "$p" "/usr${p#/usr}" "${p#/usr}"; done 2>/dev/null |
    sed 's/[:,].*//' | sort -u)
  grep -qxF "$owners" <<<"$depends" || fail "$library (in ${owners:-no package}) is not in Depends"
done

[ "$(cat "$WORK/contents")" = "$(installed_files /usr "$build")" ] ||
  fail "the package's files differ from the list: $(diff <(installed_files /usr "$build") "$WORK/contents")"

share=$WORK/tree/usr/share
for entry in "$share"/applications/*.desktop; do
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects ${entry##*/}"
done
appstreamcli validate --no-net "$share"/metainfo/*.xml || fail "appstreamcli rejects the metainfo file"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$share/man/man6/cspindrel.6.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page draws warnings: $warnings"

apt_get install "$deb" ||
  { cat "$WORK/apt"; fail "apt-get install failed"; }
Xvfb -displayfd 3 -screen 0 1024x768x24 -noreset -nolisten tcp 3>"$WORK/display" 2>/dev/null &
PIDS=$!
for ((tries = 0; tries < 100; tries++)); do [ -s "$WORK/display" ] && break; sleep 0.1; done
DISPLAY=":$(cat "$WORK/display")"
export DISPLAY
mkdir "$WORK/elsewhere"
(cd "$WORK/elsewhere" && exec env PATH="$PATH:/usr/games" SDL_AUDIODRIVER=dummy cspindrel >"$WORK/stdout") &
game=$!
PIDS="$PIDS $game"
for ((tries = 0; tries < 100; tries++)); do
  window=$(xdotool search --name "^$(fact "$build" caption)\$" 2>/dev/null | head -1)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] && sleep 0.5 && xdotool key --window "$window" Escape
for ((tries = 0; tries < 100; tries++)); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
kill -9 $game 2>/dev/null
wait $game
status=$?
if [ "$status" != 0 ] || [ "$(tr '\n' '|' <"$WORK/stdout")" != "Program Started|Nodes freed|" ]; then
  fail "cspindrel from elsewhere: window '$window', exit code $status, printed $(cat "$WORK/stdout")"
fi
for name in cspindrel cspindrel-r1 cspindrel-r2 cspindrel-r3; do
  man -w $name >/dev/null || fail "man -w $name finds no page"
done

apt_get purge cspindrel || { cat "$WORK/apt"; fail "apt-get purge failed"; }
left_behind <"$WORK/contents"
finish
