# shellcheck shell=bash
# Shared by the system test scripts (sourced): a scratch folder, failure
# counting, and running a real program until it has started and played a
# little. Every program started here is killed when the script ends.
WORK=$(mktemp -d)
PIDS=""
trap 'for p in $PIDS; do kill -9 "$p" 2>/dev/null; done; rm -rf "$WORK"' EXIT
FAILURES=0
fail() {
  echo "FAIL: $*"
  FAILURES=$((FAILURES + 1))
}
finish() {
  [ "$FAILURES" = 0 ] && echo "all passed" && exit 0
  echo "$FAILURES failure(s)"
  exit 1
}

# wait_for_sigterm_handler PID: until the process catches SIGTERM or ends
# (at most 30 s).
wait_for_sigterm_handler() {
  local mask tries
  for ((tries = 0; tries < 600; tries++)); do
    mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$1/status" 2>/dev/null) || break
    [ -n "$mask" ] && (((0x$mask & 0x4000) != 0)) && break
    sleep 0.05
  done
}

# play DIR PROGRAM [VAR=VALUE...]: starts ./PROGRAM in DIR with the given
# environment, waits until SDL has put in its SIGTERM handler (video is up),
# lets it play for PLAY_SECONDS (half a second unless set) and asks it to
# quit with SIGTERM, which SDL turns into a quit request. Sets `status`;
# standard output goes to DIR/stdout, standard error to DIR/stderr.
play() {
  local dir=$1 program=$2
  shift 2
  (cd "$dir" && exec env "$@" "./$program" >stdout 2>stderr) &
  local pid=$!
  PIDS="$PIDS $pid"
  wait_for_sigterm_handler "$pid"
  sleep "${PLAY_SECONDS:-0.5}"
  # SDL 2 under sdl12-compat takes the handler down and puts it back while
  # its subsystems start: wait for it again rather than kill the program.
  wait_for_sigterm_handler "$pid"
  kill -TERM "$pid" 2>/dev/null
  local asked=$?
  wait "$pid"
  status=$?
  [ $asked = 0 ] || fail "$program in $dir ended by itself with $status: $(cat "$dir/stdout" "$dir/stderr")"
}

# fact BUILD NAME: what the build says of the game (BUILD/facts.sh, by tools/facts).
fact() { sed -n "s/^$2='\(.*\)'\$/\1/p" "$1/facts.sh"; }

# installed_files PREFIX BUILD: every file an install into PREFIX holds, one a
# line, sorted. /usr gets Debian's layout for games, any other prefix bin/ and
# share/cspindrel/; the programs are in libexec/cspindrel/ either way.
installed_files() {
  local p=$1 bin=$1/bin data=$1/share/cspindrel program name desktop revision
  [ "$p" = /usr ] && bin=/usr/games data=/usr/share/games/cspindrel
  {
    echo "$p/share/metainfo/example.cspindrel.cspindrel.metainfo.xml"
    echo "$p/share/doc/cspindrel/copyright $p/share/doc/cspindrel/changelog.gz"
    for revision in current r1 r2 r3; do
      program=$(fact "$2" "${revision}_program")
      name=${program,,} desktop=${program,,}
      [ "$name" = cspindrel ] && desktop=example.cspindrel.cspindrel
      echo "$bin/$name $p/share/man/man6/$name.6.gz $p/share/applications/$desktop.desktop"
      echo "$p/libexec/cspindrel/$program"
    done
    for name in $(fact "$2" data_files); do echo "$data/$name"; done
    for name in 16 32 48 64 128 256; do echo "$p/share/icons/hicolor/${name}x${name}/apps/cspindrel.png"; done
  } | tr ' ' '\n' | sort
}

# For the packages' checks: apt_get ARGS... as root, quiet, its output in
# $WORK/apt; lint_deb NAME BUILD sets deb to BUILD's package NAME, which
# lintian must pass, and lists its files in $WORK/contents; left_behind
# fails for each path on standard input that still exists.
SUDO=$([ "$(id -u)" = 0 ] || echo sudo)
apt_get() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 -y -q "$@" >"$WORK/apt" 2>&1; }
lint_deb() {
  local version
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$2/CMakeCache.txt")
  deb=$(readlink -f "$2/$1_${version}_$(dpkg --print-architecture).deb")
  [ -f "$deb" ] || { echo "FAIL: no package $deb"; exit 1; }
  echo "package: $deb, $(stat -c %s "$deb") bytes; Depends: $(dpkg-deb -f "$deb" Depends)"
  lintian --fail-on error,warning "$deb" 2>&1 | grep -v "running with root privileges"
  [ "${PIPESTATUS[0]}" = 0 ] || fail "lintian reported errors or warnings"
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort >"$WORK/contents"
}
left_behind() {
  while IFS= read -r path; do [ -e "$path" ] || [ -L "$path" ] && fail "purge left $path"; done
}
