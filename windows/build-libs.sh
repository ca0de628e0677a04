#!/bin/bash
# Builds SDL 1.2, SDL_mixer 1.2 and libmpg123 for 64-bit Windows from
# Debian's own source packages of this machine's suite, into a cache folder
# keyed by their versions, and prints that folder's prefix, the one line it
# writes to standard output (the rest goes to standard error).
# A second call with the same versions builds nothing.
#
#   windows/build-libs.sh [CACHE_ROOT]   (default /var/cache/cspindrel-win64)
#
# apt-get runs with a sources file, state and cache of its own, so the
# machine's apt set-up stays as it was; apt still checks the archive's
# signatures with the system's keyring.
set -euo pipefail
shopt -s inherit_errexit

HOST=x86_64-w64-mingw32
ROOT=${1:-/var/cache/cspindrel-win64}
JOBS=${JOBS:-2}
PACKAGES=(libsdl1.2 sdl-mixer1.2 mpg123)

APT_DIR=$ROOT/apt
mkdir -p "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial"

# The mirror and keyring the system itself uses for its main suite.
mirror=""
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  mirror=$(awk '/^URIs:/ && $2 !~ /security/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources)
fi
if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
  mirror=$(awk '$1 == "deb" && $0 !~ /security/ { for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) { print $i; exit } }' \
    /etc/apt/sources.list)
fi
[ -n "$mirror" ] || { echo "No Debian mirror found in /etc/apt" >&2; exit 1; }
# shellcheck disable=SC1091
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")

echo "deb-src [signed-by=$keyring] $mirror $suite main" > "$APT_DIR/sources.list"
APT_OPTS=(-o "Dir::Etc::sourcelist=$APT_DIR/sources.list" -o Dir::Etc::sourceparts=-
  -o "Dir::State::Lists=$APT_DIR/lists" -o "Dir::Cache=$APT_DIR/cache"
  -o APT::Get::List-Cleanup=0 -o DPkg::Lock::Timeout=600)

# Refreshes the private lists at most once a day.
stamp=$APT_DIR/updated
if [ -z "$(find "$stamp" -mmin -1440 2>/dev/null)" ]; then
  apt-get "${APT_OPTS[@]}" update -q >&2
  touch "$stamp"
fi

# version PACKAGE: the newest source version the private lists know.
version() {
  apt-cache "${APT_OPTS[@]}" showsrc "$1" | awk '/^Version:/ { print $2 }' | sort -V | tail -1
}
key=""
declare -A VERSION
for p in "${PACKAGES[@]}"; do
  VERSION[$p]=$(version "$p")
  [ -n "${VERSION[$p]}" ] || { echo "No source package $p" >&2; exit 1; }
  key="$key${key:+_}$p-${VERSION[$p]}"
done
PREFIX=$ROOT/$key/prefix
if [ -f "$ROOT/$key/done" ]; then
  echo "$PREFIX"
  exit 0
fi

WORK=$ROOT/$key/src
mkdir -p "$WORK" "$PREFIX/licences"
export PATH=$PREFIX/bin:$PATH
export PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig
export CC=$HOST-gcc CXX=$HOST-g++
# No DLL of the MinGW C runtime: libgcc and its threads are linked in.
export LDFLAGS="-static-libgcc"

# unpack PACKAGE: fetches the source (apt checks each file against the
# signed lists), unpacks it with Debian's patches, and prints its folder.
# Some mirrors lack the upstream signature (.asc) a .dsc lists; apt has
# checked the tarballs themselves, so that file is left out.
unpack() {
  local p=$1
  local v=${VERSION[$p]} dir=$WORK/$p dsc
  rm -rf "${dir:?}" "$WORK/${p}_"*
  (cd "$WORK" && apt-get "${APT_OPTS[@]}" source -q --download-only "$p=$v" >&2) ||
    echo "apt-get source reported a missing file; dpkg-source checks the rest" >&2
  dsc=$WORK/${p}_${v#*:}.dsc
  grep -v '\.asc$' "$dsc" >"$dsc.checked"
  dpkg-source -x "$dsc.checked" "$dir" >&2
  # Licence texts and where the source came from go into the zip.
  local notes=$PREFIX/licences/$p
  mkdir -p "$notes"
  cp "$dir/debian/copyright" "$notes/copyright.txt"
  find "$dir" -maxdepth 1 \( -name 'COPYING*' -o -name 'LICENSE*' \) -exec cp {} "$notes/" \;
  printf 'Built from the Debian source package %s, version %s (%s %s main).\n' \
    "$p" "$v" "$mirror" "$suite" > "$notes/SOURCE.txt"
  echo "$dir"
}

# build PACKAGE CONFIGURE-OPTIONS...: unpack, configure, build, install
# (the make targets in MAKE_TARGETS, "install" unless set; not INSTALL,
# which configure takes for the install program), unless done before;
# the options are kept beside the licences.
build() {
  local p=$1 dir
  shift
  [ -f "$PREFIX/.built-$p" ] && return
  dir=$(unpack "$p")
  (cd "$dir" && ./configure --host=$HOST --prefix="$PREFIX" --disable-static "$@" >&2 &&
    if [ -n "${MAKE_TARGETS:-}" ]; then
      read -ra targets <<<"$MAKE_TARGETS"
      make -j "$JOBS" "${targets[@]}" >&2
    else
      make -j "$JOBS" >&2 && make install >&2
    fi)
  echo "$p: configure --host=$HOST --disable-static $*${MAKE_TARGETS:+ (make $MAKE_TARGETS: the library alone)}" \
    >>"$PREFIX/licences/configured.txt"
  touch "$PREFIX/.built-$p"
}

# SDL: video through GDI (windib) and DirectX, the disk audio driver for
# the tests; SDLmain keeps its redirect of stdout to stdout.txt.
build libsdl1.2 --enable-diskaudio --enable-dummyaudio --disable-cdrom --disable-joystick \
  --disable-nasm --disable-assembly

# libmpg123: the game decodes its MP3 itself (the build also makes mpg123's
# programs and output library, which the zip leaves out).
build mpg123

# SDL_mixer with WAV only, the library alone (its test programs would
# need SDLmain, which Debian's sdl-config leaves out).
MAKE_TARGETS="install-hdrs install-lib" build sdl-mixer1.2 --with-sdl-prefix="$PREFIX" --disable-sdltest --enable-music-wave \
  --disable-music-cmd --disable-music-mod --disable-music-mod-modplug --disable-music-midi \
  --disable-music-ogg --disable-music-flac --disable-music-mp3 --disable-music-mp3-mad-gpl \
  --disable-smpegtest

touch "$ROOT/$key/done"
rm -rf "$WORK"
echo "$PREFIX"
