#!/usr/bin/env python3
"""server_test.py BIN_DIR: spindrel-server on loopback: HTTP paths, what only a connection can get wrong,
idle rooms, the per-address limit, the failure log, a short load run."""
import contextlib, os, pathlib, socket, subprocess, sys, tempfile, time

from serverproc import Server
from wsclient import Client

def check_http(port):
    def get(request):
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            s.sendall((request + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n").encode())
            data = b"".join(iter(lambda: s.recv(65536), b""))
        head, _, body = data.partition(b"\r\n\r\n")
        return head.decode(), body
    for path, status, kind in [("/", 200, "text/html"), ("/game.wasm", 200, "application/wasm"),
                               ("/sub/", 200, "text/html"), ("/nothing.js", 404, None),
                               ("/../secret.txt", 403, None), ("/sub/../../secret.txt", 403, None),
                               ("/%2e%2e/secret.txt", 403, None), ("/sub/%2E%2e/%2e./x", 403, None),
                               ("/sub/out.txt", 403, None), ("/sub/alike.txt", 403, None),
                               ("/%zz", 400, None)]:
        head, body = get("GET " + path)
        assert head.startswith(f"HTTP/1.1 {status} "), (path, head)
        assert kind is None or f"Content-Type: {kind}" in head, (path, head)
        assert b"secret" not in body, path
    head, body = get("HEAD /game.wasm")
    assert "200 OK" in head and "Content-Length: 8" in head and body == b"", head
    head, _ = get("POST /")
    assert head.startswith("HTTP/1.1 405 ") and "Allow: GET, HEAD" in head, head


def seat(port, room, tokens):
    c = Client(port)
    c.send({"type": "join", "room": room, "tokens": tokens, "since": 0})
    c.expect("joined")
    return c


def started_room(port):
    c = Client(port)
    c.send({"type": "create", "players": 2, "sense": "ccw", "seats": [{"kind": "human"}] * 4})
    room, tokens = (created := c.expect("created"))["room"], created["tokens"]
    blue, red = seat(port, room, [tokens["1"]]), seat(port, room, [tokens["2"]])
    blue.send({"type": "start", "game": 1})
    assert blue.expect("started") == red.expect("started")
    return room, tokens, blue, red


def move(c, s, col, row, seq):
    c.send({"type": "move", "game": 1, "seat": s, "col": col, "row": row, "seq": seq})


def check_bad_input(port):
    room, tokens, blue, red = started_room(port)
    other, other_tokens, green, _ = started_room(port)
    # What only a connection can get wrong; the rooms' own refusals are the unit tests'.
    exact = '{"type": "dance", "pad": "' + "x" * (4096 - 28) + '"}'
    for message, words in [("{not json", "not valid JSON"), ("[1, 2]", "not a JSON object"), ({"col": 1}, "no \"type\""),
                           (exact, "unknown message type"), (exact[:-2] + 'x"}', "over 4 KiB"),
                           (b"\x01\x02", "binary frames")]:
        blue.send_frame(message, opcode=2) if isinstance(message, bytes) else blue.send(message)
        assert words in (answer := blue.expect("error"))["message"], (message, answer)
        time.sleep(0.06)  # spaced out, so that the table itself is no flood
    # Blue still holds its seat, and the other room plays on.
    move(blue, 1, 6, 7, 1)
    assert red.expect("move")["n"] == 1
    move(green, 1, 5, 5, 1)
    assert green.expect("move")["n"] == 1
    # A flood closes the connection at its 21st message in a second, the join
    # included, and stores nothing of it beyond the 20th: blue hears 19 moves
    # of it, and blue's next move is the game's 21st.
    red = seat(port, room, [tokens["2"]])
    with contextlib.suppress(OSError):  # the server closes the connection
        for i in range(40):
            move(red, 2, 0, 0, 10 + i)
        while True:
            red.recv()
    move(blue, 1, 0, 0, 2)
    heard = [blue.expect("move") for _ in range(21)]
    assert [m["n"] for m in heard] == list(range(1, 22)) and heard[-1]["seat"] == 1, heard[-1]
    return [room, other, *tokens.values(), *other_tokens.values()]


def check_limits(port, room):
    """Two connections from one address at most; a kept-alive HTTP connection left idle frees its place soon."""
    idle = socket.create_connection(("127.0.0.1", port), timeout=15)
    idle.sendall(b"GET / HTTP/1.1\r\nHost: x\r\n\r\n")
    assert idle.recv(65536).startswith(b"HTTP/1.1 200 ")
    _, extra = Client(port), Client(port)
    assert "too many connections" in extra.expect("error")["message"]
    extra.sock.close()
    assert idle.recv(1) == b"", "the idle connection was not closed"  # 5 s, far less than a first request's 30
    idle.close()
    time.sleep(0.2)
    again = Client(port)  # its place is free again
    again.send({"type": "join", "room": room, "tokens": [], "since": 0})
    assert "no room" in again.expect("error")["message"]  # idle for longer than the limit


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    # Freed memory is overwritten at once, so that a use after free shows.
    os.environ.update(MALLOC_PERTURB_="165", GLIBC_TUNABLES="glibc.malloc.tcache_count=0")
    with tempfile.TemporaryDirectory() as scratch:
        site = os.path.join(scratch, "site")
        os.makedirs(os.path.join(site, "sub"))
        for name, text in [("index.html", "<p>home"), ("game.wasm", "\0asm\1\0\0\0"),
                           ("sub/index.html", "<p>sub"), ("../secret.txt", "secret")]:
            pathlib.Path(site, name).write_text(text)
        os.symlink(os.path.join(scratch, "secret.txt"), os.path.join(site, "sub", "out.txt"))
        # A folder whose name starts with the site's is still outside it.
        os.mkdir(site + "x")
        pathlib.Path(site + "x", "secret.txt").write_text("secret")
        os.symlink(os.path.join(site + "x", "secret.txt"), os.path.join(site, "sub", "alike.txt"))
        server = Server(bin_dir, site, db := os.path.join(scratch, "rooms.db"))
        try:
            check_http(server.port)
            secrets = check_bad_input(server.port)
            # A restart with an idle limit shorter than the rooms' rest removes them, from the file too.
            # (A restart after SIGKILL: the cluster's test.)
            server.stop()
            time.sleep(2.1)
            server = Server(bin_dir, site, db, "--idle-limit", "1", "--per-address", "2")
            assert "0 rooms" in server.printed, server.printed
            check_limits(server.port, secrets[0])
        finally:
            server.stop()
        assert not [c for c in secrets if c in Server.printed_by_all], "a code or token printed"
        assert "failure from 127.0.0.0/24: refused: binary frames" in Server.printed_by_all
    load = subprocess.run([f"{bin_dir}/spindrel-load", "--server", f"{bin_dir}/spindrel-server",
                           *"--rooms 20 --moves 20 --rate 10 --timeout 60".split()], timeout=90)
    assert load.returncode == 0, "the load run failed"
    print("online server tests passed")


if __name__ == "__main__":
    main()
