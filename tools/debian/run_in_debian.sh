#!/bin/bash
# Runs make targets of the commit under test inside a minimal Debian system
# of another release, as root, as a new user's machine would run them:
#   run_in_debian.sh SOURCE SUITE CACHE TARGET...
# The system is built with debootstrap into CACHE/SUITE once and reused; the
# packages the targets need are installed there by the project's own make.
# The commit is cloned into it, and kept with its build folders, so that a
# second run builds only what changed. /proc, /dev, /dev/pts and /sys are
# bound in for the run and unmounted however it ends.
set -euo pipefail
src=$(cd "$1" && pwd) suite=$2 cache=$3
shift 3
[ "$(id -u)" = 0 ] || { echo "run_in_debian.sh needs root (debootstrap, chroot, mount)"; exit 1; }
root=$cache/$suite
mkdir -p "$cache"
# One run at a time per system.
exec 9>"$cache/$suite.lock"
flock 9

mounted=()
# shellcheck disable=SC2317 # called by the trap
unmount() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}"
  done
  mounted=()
}
trap unmount EXIT
trap 'exit 130' INT TERM

if [ ! -e "$root/.cspindrel-ready" ]; then
  # The Debian mirror this machine's own apt uses.
  mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/* 2>/dev/null |
    grep -E '^[[:space:]]*(URIs:|deb )' | grep -oE 'https?://[^ ]*/debian/?( |$)' | head -1 | tr -d ' ' || :)
  [ -n "$mirror" ] || { echo "no Debian mirror in /etc/apt/sources.list*"; exit 1; }
  echo "Building a Debian $suite system in $root from $mirror"
  rm -rf "$root"
  # A release newer than this debootstrap is built as Debian's unstable ones are.
  script=/usr/share/debootstrap/scripts/$suite
  [ -e "$script" ] || script=/usr/share/debootstrap/scripts/sid
  debootstrap --variant=minbase "$suite" "$root" "$mirror" "$script" >"$cache/$suite.debootstrap.log" 2>&1 ||
    { tail -20 "$cache/$suite.debootstrap.log"; exit 1; }
  # The testing release's Release file may be past its validity date; no
  # service starts inside.
  echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99cspindrel"
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod +x "$root/usr/sbin/policy-rc.d"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

for dir in proc dev dev/pts sys; do
  mountpoint -q "$root/$dir" || { mount --bind "/$dir" "$root/$dir" && mounted+=("$root/$dir"); }
done
in_root() { chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"; }

if [ ! -e "$root/.cspindrel-ready" ]; then
  # make itself; everything else comes from the project's make.
  in_root apt-get -o DPkg::Lock::Timeout=600 update -q
  in_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q \
    --no-install-recommends make
  touch "$root/.cspindrel-ready"
fi

# The commit under test, checked out over the previous run's clone (whose
# build folders are ignored by git and stay).
commit=$(git -C "$src" rev-parse HEAD)
clone=$root/root/cspindrel
[ -d "$clone/.git" ] || git clone -q --no-checkout "$src" "$clone"
git -C "$clone" fetch -q --force "$src" "$commit"
git -C "$clone" checkout -q --force --detach "$commit"
git -C "$clone" clean -q -ffd
echo "Debian $suite ($(cat "$root/etc/debian_version")), commit $commit: make $*"

status=0
for target in "$@"; do
  in_root bash -c "cd /root/cspindrel && make $target" || { status=1; echo "FAIL: make $target on $suite"; }
done
exit $status
