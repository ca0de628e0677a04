#!/bin/bash
# The README's screenshots of the desktop game: the four-computer opening of
# CSpindrel and of CSpindrel-r2 in real windows on an Xvfb server, then the
# game's picture as players with each of the three kinds of colour blindness
# see it (the full-strength matrices of Machado, Oliveira and Fernandes 2009,
# applied in linear light as tests/unit/colour_vision_test.cpp does).
# With the browser build's site folder (make web) also the game in headless
# Chromium, served on the loopback interface.
#   docs/pictures.sh [BIN_DIR [SITE_DIR]]   (build/bin unless given)
# Look at the pictures before committing them.
set -eu
bin=$(cd "${1:-build/bin}" && pwd) docs=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pids=""
cleanup() {
  local p
  for p in $pids; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# shot PROGRAM WIDTH HEIGHT SECONDS PICTURE: the program's window after it has
# played for the given time, on a screen of exactly its size.
shot() {
  exec 3>"$work/display"
  Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 "$2x$3x24" 2>/dev/null &
  local server=$! display=""
  pids="$pids $server"
  exec 3>&-
  while [ -z "$display" ]; do sleep 0.1 && display=$(cat "$work/display"); done
  (cd "$bin" && exec env DISPLAY=":$display" SDL_AUDIODRIVER=dummy "./$1" >/dev/null) &
  local game=$!
  pids="$pids $game"
  sleep "$4"
  DISPLAY=":$display" import -window root "$work/shot.png"
  convert "$work/shot.png" "PNG8:$5"
  kill "$game"
  wait "$game" 2>/dev/null || true
  kill "$server"
  wait "$server" 2>/dev/null || true
}
shot CSpindrel 800 600 34 "$docs/cspindrel.png"
shot CSpindrel-r2 640 480 20 "$docs/cspindrel-r2.png"

matrices=(
  "protanopia 0.152286 1.052583 -0.204868 0.114503 0.786281 0.099216 -0.003882 -0.048116 1.051998"
  "deuteranopia 0.367322 0.860646 -0.227968 0.280085 0.672501 0.047413 -0.011820 0.042940 0.968881"
  "tritanopia 1.255528 -0.076749 -0.178779 -0.078411 0.930809 0.147602 0.004733 0.691367 0.303900"
)
for row in "${matrices[@]}"; do
  read -r name m <<<"$row"
  convert "$docs/cspindrel.png" -colorspace RGB -color-matrix "$m" -colorspace sRGB \
    "PNG8:$docs/cspindrel-$name.png"
done

[ $# -ge 2 ] || exit 0
site=$(cd "$2" && pwd)
(cd "$site" && exec python3 -u -m http.server 0 --bind 127.0.0.1 >"$work/server" 2>/dev/null) &
pids="$pids $!"
port=""
while [ -z "$port" ]; do sleep 0.1 && port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/server"); done
timeout -s KILL 120 chromium --headless --no-sandbox --disable-gpu --no-first-run \
  --user-data-dir="$work/profile" --window-size=840,680 --virtual-time-budget=6000 \
  --screenshot="$work/browser.png" "http://127.0.0.1:$port/cspindrel.html" 2>/dev/null
convert "$work/browser.png" "PNG8:$docs/cspindrel-browser.png"
