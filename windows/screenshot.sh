#!/bin/bash
# The README's picture of CSpindrel.exe under Wine: the zip unpacked into a
# scratch folder, a new Wine prefix there, the four-computer opening after
# it has played for a while, the window alone.
#   windows/screenshot.sh [ZIP [PICTURE]]
#   (build-windows/CSpindrel-*-win64.zip and docs/cspindrel-wine.png unless given)
# Look at the picture before committing it.
set -eu
zip=$(realpath "${1:-$(ls build-windows/CSpindrel-*-win64.zip)}")
picture=$(realpath "${2:-docs/cspindrel-wine.png}")
caption=$(sed -n 's/^caption=//p' "$(dirname "$0")/../tests/golden/facts.sh.txt" | tr -d "'\"")
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
pids=""
cleanup() {
  local p
  # The prefix's own processes (services.exe, winedevice.exe, ...) first.
  [ ! -d "$WINEPREFIX" ] || wineserver -k 2>/dev/null || true
  for p in $pids; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 2>/dev/null &
pids="$pids $!"
exec 3>&-
display=""
while [ -z "$display" ]; do sleep 0.1 && display=$(cat "$work/display"); done
export DISPLAY=:$display

wineserver -f -p &
pids="$pids $!"
wine wineboot -i >/dev/null 2>&1
(cd "$work" && unzip -q "$zip")
(cd "$work"/CSpindrel-*-win64 && exec env SDL_AUDIODRIVER=dummy wine CSpindrel.exe >/dev/null 2>&1) &
pids="$pids $!"
window=""
for _ in $(seq 300); do
  window=$(xdotool search --name "^$caption\$" 2>/dev/null | head -1) && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "no window captioned $caption" >&2; exit 1; }
sleep 30
import -window "$window" "$work/shot.png"
convert "$work/shot.png" "PNG8:$picture"
echo "$picture: $(identify -format '%wx%h' "$picture"), $(stat -c %s "$picture") bytes"
