#!/bin/bash
# The server's Debian package as a host gets it: lintian finds nothing to
# report; systemd-analyze accepts its unit; apt-get installs it; the server,
# started with the unit's command line and settings file as an unprivileged
# user, serves the site and a room plays through it; SIGTERM ends it with 0
# and a closed database; remove keeps the rooms, and purge leaves no file of
# the package behind, the rooms' database included.
#   check_server_package.sh SOURCE BUILD   (run by make test-package after make deb)
set -u
src=$(cd "$1" && pwd) build=$2
source "$src/tests/lib.sh"
trap 'for p in $PIDS; do kill -9 "$p" 2>/dev/null; done; apt_get purge spindrel-server; rm -rf "$WORK"' EXIT
lint_deb spindrel-server "$build"
unit=$(grep '/systemd/system/spindrel-server.service$' "$WORK/contents") || fail "the package has no unit"
apt_get install "$deb" || { cat "$WORK/apt"; fail "apt-get install failed"; }
systemd-analyze verify "$unit" || fail "systemd-analyze rejects the unit"
# As systemd starts it: the settings file (on a port free now), the state
# folder it makes, and a user without rights.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
$SUDO sed -i "s/^PORT=.*/PORT=$port/" /etc/default/spindrel-server
$SUDO install -d -m 700 -o nobody -g nogroup /var/lib/spindrel-server
command=$(sed -n 's/^ExecStart=//p' "$unit")
$SUDO bash -c "set -a; . /etc/default/spindrel-server; set +a
  exec setpriv --reuid=nobody --regid=nogroup --clear-groups --no-new-privs $command" >"$WORK/server" 2>&1 &
PIDS=$!
python3 - "$src/tests/online" "$port" "$PIDS" <<'PLAY' || fail "no game through the installed server: $(cat "$WORK/server")"
import os, socket, sys, time, urllib.request
sys.path.insert(0, sys.argv[1])
from wsclient import Client
port = int(sys.argv[2])
while os.kill(int(sys.argv[3]), 0) is None and socket.socket().connect_ex(("127.0.0.1", port)):
    time.sleep(0.05)  # until it listens, while it runs
assert b"online" in urllib.request.urlopen(f"http://127.0.0.1:{port}/online.html").read()
(lobby := Client(port)).send({"type": "create", "players": 2, "sense": "ccw", "seats": [{"kind": "human"}] * 4})
room, tokens = (created := lobby.expect("created"))["room"], created["tokens"]
pages = [Client(port, room) for _ in tokens]
for page, seat in zip(pages, tokens):
    page.send({"type": "join", "room": room, "tokens": [tokens[seat]], "since": 0})
    page.expect("joined")
pages[0].send({"type": "start", "game": 1})
pages[0].send({"type": "move", "game": 1, "seat": 1, "col": 3, "row": 4, "seq": 1})
assert all(page.expect("started") and page.expect("move")["col"] == 3 for page in pages)
PLAY
$SUDO kill -TERM $PIDS
wait $PIDS || fail "the server ended with $? on SIGTERM: $(cat "$WORK/server")"
[ "$(stat -c %U /var/lib/spindrel-server/rooms.sqlite)" = nobody ] || fail "no database of the server's user"
[ -e /var/lib/spindrel-server/rooms.sqlite-wal ] && fail "the database was left open"

apt_get remove spindrel-server || { cat "$WORK/apt"; fail "apt-get remove failed"; }
[ -f /var/lib/spindrel-server/rooms.sqlite ] || fail "remove deleted the rooms"
apt_get purge spindrel-server || { cat "$WORK/apt"; fail "apt-get purge failed"; }
cat "$WORK/contents" - <<<"/var/lib/spindrel-server
/etc/systemd/system/multi-user.target.wants/spindrel-server.service" | left_behind
finish
