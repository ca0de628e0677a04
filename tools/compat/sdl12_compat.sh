#!/bin/bash
# Puts Debian's sdl12-compat (SDL 1.2 on top of SDL 2) into a private folder,
# leaving the machine's own packages as they are:
#   sdl12_compat.sh CACHE
# The packages are fetched with apt-get download into CACHE/debs (once) and
# unpacked into CACHE/root; CACHE/pkgconfig gets an sdl.pc that points there.
# SDL 2 itself comes along only when the machine lacks it.
set -euo pipefail
cache=$1
multiarch=$(gcc -print-multiarch)
packages="libsdl1.2-compat libsdl1.2-compat-dev libsdl1.2-compat-shim"
dpkg-query -W -f='${Status}' libsdl2-2.0-0 2>/dev/null | grep -q "ok installed" ||
  packages="$packages libsdl2-2.0-0"
mkdir -p "$cache/debs"
cd "$cache/debs"
for package in $packages; do
  if ! compgen -G "${package}_*.deb" >/dev/null; then
    apt-get -q download "$package" 2>&1 | grep -v "unsandboxed" || :
    compgen -G "${package}_*.deb" >/dev/null || { echo "apt-get download $package failed"; exit 1; }
  fi
done
rm -rf "$cache/root" "$cache/pkgconfig"
for package in $packages; do dpkg-deb -x "$package"_*.deb "$cache/root"; done
mkdir "$cache/pkgconfig"
sed "s|=/usr|=$cache/root/usr|" "$cache/root/usr/lib/$multiarch/pkgconfig/sdl12_compat.pc" \
  >"$cache/pkgconfig/sdl.pc"
echo "sdl12-compat $(sed -n 's/^Version: //p' "$cache/pkgconfig/sdl.pc") in $cache/root"
