#!/bin/bash
# The Debian package as a player gets it: lintian finds nothing to report;
# the package holds the programs, launchers, data files, manual page, desktop
# entries, icons and AppStream entry, and the desktop and AppStream checkers
# accept them; apt-get installs it, cspindrel starts from an unrelated folder
# and quits on Escape with exit code 0, man finds its page, and purging the
# package leaves none of its files behind.
#   check_package.sh SOURCE BUILD   (run by make test-package after make deb)
set -u
source=$1 build=$2
APT="apt-get -o DPkg::Lock::Timeout=600 -y -q"
SUDO=$([ "$(id -u)" = 0 ] || echo sudo)
scratch=$(mktemp -d)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

game="" xvfb="" installed=no
cleanup() {
  [ -n "$game" ] && kill -9 "$game" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  [ "$installed" = yes ] && DEBIAN_FRONTEND=noninteractive $SUDO $APT purge cspindrel >/dev/null 2>&1
  rm -rf "$scratch"
}
trap cleanup EXIT

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/cspindrel_${version}_$(dpkg --print-architecture).deb"
debs=("$build"/cspindrel_*.deb)
[ -f "$deb" ] && [ "${#debs[@]}" = 1 ] || { echo "FAIL: no single package $deb"; exit 1; }
echo "package: $deb, $(stat -c %s "$deb") bytes"

# --- lintian: no errors and no warnings (overrides live in the tree) -------
lintian --fail-on error,warning "$deb" > "$scratch/lintian" 2>&1
status=$?
grep -v "running with root privileges" "$scratch/lintian"
[ "$status" = 0 ] || fail "lintian reported errors or warnings"

# --- The control fields -----------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = cspindrel ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version $(field Version), not $version"
[ "$(field Section)" = games ] || fail "section $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
[ "$(field Description | wc -l)" -ge 5 ] || fail "the description has no real body"
depends=$(field Depends)
echo "Depends: $depends"
# Exactly the libraries the programs link, as dpkg-shlibdeps names them.
for library in 'libsdl1\.2(debian|-compat)' 'libsdl-mixer1\.2' 'libmpg123-0'; do
  grep -qE "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library"
done

# --- The contents -----------------------------------------------------------
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|; s|/$||' > "$scratch/contents"
expected="/usr/games/cspindrel /usr/games/cspindrel-r1 /usr/games/cspindrel-r2
/usr/games/cspindrel-r3 /usr/libexec/cspindrel/CSpindrel /usr/libexec/cspindrel/CSpindrel-r1
/usr/libexec/cspindrel/CSpindrel-r2 /usr/libexec/cspindrel/CSpindrel-r3
/usr/share/games/cspindrel/font.bmp /usr/share/games/cspindrel/ui.bmp
/usr/share/games/cspindrel/nodes.bmp /usr/share/games/cspindrel/click.wav
/usr/share/games/cspindrel/etm0507.mp3 /usr/share/man/man6/cspindrel.6.gz
/usr/share/man/man6/cspindrel-r1.6.gz /usr/share/man/man6/cspindrel-r2.6.gz
/usr/share/man/man6/cspindrel-r3.6.gz /usr/share/applications/example.cspindrel.cspindrel.desktop
/usr/share/applications/cspindrel-r1.desktop /usr/share/applications/cspindrel-r2.desktop
/usr/share/applications/cspindrel-r3.desktop
/usr/share/metainfo/example.cspindrel.cspindrel.metainfo.xml
/usr/share/doc/cspindrel/copyright /usr/share/doc/cspindrel/changelog.gz"
for size in 16 32 48 64 128 256; do
  expected="$expected /usr/share/icons/hicolor/${size}x${size}/apps/cspindrel.png"
done
for file in $expected; do
  grep -qxF "$file" "$scratch/contents" || fail "the package lacks $file"
done

# --- Desktop entries, AppStream entry, manual page, copyright note -----------
mkdir "$scratch/tree"
dpkg-deb -x "$deb" "$scratch/tree"
share="$scratch/tree/usr/share"
for entry in "$share"/applications/*.desktop; do
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects ${entry##*/}"
done
metainfo="$share/metainfo/example.cspindrel.cspindrel.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$scratch/appstream" 2>&1 ||
  { cat "$scratch/appstream"; fail "appstreamcli rejects the metainfo file"; }
grep -qF "<id>example.cspindrel.cspindrel</id>" "$metainfo" || fail "metainfo id"
grep -qF '<launchable type="desktop-id">example.cspindrel.cspindrel.desktop</launchable>' \
  "$metainfo" || fail "metainfo does not launch the main desktop entry"
grep -qF "<release version=\"$version\"" "$metainfo" || fail "metainfo release is not $version"
grep -qF "<project_license>LicenseRef-proprietary</project_license>" "$metainfo" ||
  fail "metainfo project licence"
grep -qF "<metadata_license>CC0-1.0</metadata_license>" "$metainfo" || fail "metadata licence"
grep -q "^Exec=cspindrel$" "$share/applications/example.cspindrel.cspindrel.desktop" ||
  fail "the main desktop entry does not start cspindrel"
page=$(zcat "$share/man/man6/cspindrel.6.gz")
grep -q "^\.TH CSPINDREL 6 .*\"CSpindrel $version\"" <<<"$page" || fail "manual page version"
for part in "MOUSE AND KEYS" "THE PANEL" "FILES" "EXIT STATUS" "STANDARD OUTPUT"; do
  grep -qx "\.SH $part" <<<"$page" || fail "the manual page has no $part section"
done
for line in "Program Started" "Nodes freed" "Couldn't load FONT" "/usr/share/games/cspindrel"; do
  grep -qF "$line" <<<"$page" || fail "the manual page does not mention $line"
done
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$share/man/man6/cspindrel.6.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page draws warnings: $warnings"
zcat "$share/doc/cspindrel/changelog.gz" | head -1 | grep -qF "cspindrel ($version)" ||
  fail "the changelog's first entry is not $version"
grep -q "No licence has been chosen yet" "$share/doc/cspindrel/copyright" ||
  fail "the copyright note does not say that no licence is chosen"

# --- Install, play, find the page, purge -------------------------------------
# Which of the package's folders exist already (purge must leave those).
while IFS= read -r path; do
  [ -d "$path" ] && echo "$path"
done < "$scratch/contents" > "$scratch/existing"

DEBIAN_FRONTEND=noninteractive $SUDO $APT install "$(readlink -f "$deb")" > "$scratch/apt" 2>&1 ||
  { cat "$scratch/apt"; fail "apt-get install failed"; }
dpkg-query -W -f='${Status}' cspindrel 2>/dev/null | grep -q "ok installed" && installed=yes
if [ "$installed" = yes ]; then
  # A player's PATH has /usr/games (root's has not).
  launcher=$(PATH="$PATH:/usr/games" command -v cspindrel)
  [ "$launcher" = /usr/games/cspindrel ] || fail "cspindrel on the PATH is '$launcher'"

  Xvfb -displayfd 3 -screen 0 1024x768x24 -noreset 3>"$scratch/display" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$scratch/display")"
  mkdir "$scratch/elsewhere"
  (cd "$scratch/elsewhere" && exec env PATH="$PATH:/usr/games" SDL_AUDIODRIVER=dummy cspindrel \
    > "$scratch/stdout" 2> "$scratch/stderr") &
  game=$!
  window=""
  for _ in $(seq 100); do
    window=$(xdotool search --name "Spindrel-C by Tamwick 2005" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.1
  done
  if [ -z "$window" ]; then
    fail "cspindrel opened no window"
  else
    sleep 0.5
    xdotool key --window "$window" Escape
    for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
  fi
  if kill -0 "$game" 2>/dev/null; then
    fail "cspindrel did not end on Escape"
  else
    wait "$game"
    status=$?
    game=""
    [ "$status" = 0 ] || fail "cspindrel ended with $status"
    [ "$(head -1 "$scratch/stdout")" = "Program Started" ] || fail "no start line"
    [ "$(tail -1 "$scratch/stdout")" = "Nodes freed" ] || fail "the last line is not Nodes freed"
  fi
  [ -z "$(ls -A "$scratch/elsewhere")" ] || fail "cspindrel wrote into its working folder"

  [ "$(man -w cspindrel)" = /usr/share/man/man6/cspindrel.6.gz ] || fail "man -w cspindrel"
  for revision in r1 r2 r3; do  # links to the same page
    [ "$(man -w "cspindrel-$revision")" = /usr/share/man/man6/cspindrel.6.gz ] ||
      fail "man -w cspindrel-$revision"
  done

  DEBIAN_FRONTEND=noninteractive $SUDO $APT purge cspindrel > "$scratch/apt" 2>&1 ||
    { cat "$scratch/apt"; fail "apt-get purge failed"; }
  dpkg-query -W -f='${Status}' cspindrel 2>/dev/null | grep -q "ok installed" || installed=no
  [ "$installed" = no ] || fail "cspindrel is still installed after the purge"
  while IFS= read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || continue
    grep -qxF "$path" "$scratch/existing" || fail "purge left $path"
  done < "$scratch/contents"
else
  fail "cspindrel is not installed"
fi

[ "$failures" = 0 ] && echo "package checks passed"
[ "$failures" = 0 ]
