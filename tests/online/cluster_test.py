#!/usr/bin/env python3
"""cluster_test.py BIN_DIR: the server's command line; then three servers behind HAProxy with
TLS (tools/cluster): 30 rooms spread over them, each room's pages on the room's server, a
server killed with SIGKILL pausing only its own rooms, and a server drained by SIGTERM."""
import os, pathlib, re, signal, ssl, subprocess, sys, tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools" / "cluster"))
from cluster import Cluster, IDS  # noqa: E402
from wsclient import Client  # noqa: E402

HUMANS = [{"kind": "human", "strength": 1}] * 4


def check_command_line(server):
    helped = subprocess.run([server, "--help"], capture_output=True, text=True)
    assert helped.returncode == 0 and "--server-id" in helped.stdout, helped
    for wrong in [["--site", "/", "--bogus"], ["--port", "1"], ["--site", "/", "--server-id", "0g"],
                  ["--site", "/", "--port", "65536"], ["--site", "/", "--idle-limit", "0"],
                  ["--site", "/nowhere"], ["--site", "/", "--server-id", "123456789"]]:
        r = subprocess.run([server, *wrong], capture_output=True, text=True, timeout=10)
        assert r.returncode == 2 and "--help" in r.stderr, (wrong, r)


class Pages:
    """Pages through the proxy (wss://) or straight to a server (ws://)."""
    def __init__(self, cluster):
        self.cluster, self.tls = cluster, ssl.create_default_context(cafile=cluster.state / "cert.pem")

    def join(self, room, tokens, since=0, port=None):
        c = Client(port, room) if port else Client(self.cluster.port, room, self.tls)
        c.send({"type": "join", "room": room, "tokens": tokens, "since": since})
        return c, c.recv()

    def create(self):
        c = Client(self.cluster.port, tls=self.tls)
        c.send({"type": "create", "players": 2, "sense": "ccw", "seats": HUMANS})
        created = c.expect("created")
        c.sock.close()
        return created["room"], created["tokens"]


def play(blue, red, first_seq, count):
    """blue moves count times; both pages hear each move; the moves' numbers."""
    numbers = []
    for seq in range(first_seq, first_seq + count):
        blue.send({"type": "move", "game": 1, "seat": 1, "col": seq % 24, "row": 5, "seq": seq})
        m = blue.expect("move")
        assert red.expect("move") == m and m["col"] == seq % 24, m
        numbers.append(m["n"])
    return numbers


def check_spread(pages, cluster):
    rooms = [pages.create() for _ in range(30)]
    by_server = {sid: [r for r in rooms if r[0].startswith(sid)] for sid in IDS}
    assert all(len(r) >= 5 for r in by_server.values()), {s: len(r) for s, r in by_server.items()}
    assert all(re.fullmatch("0[123][0-9a-f]{32}", room) for room, _ in rooms), rooms
    for sid, held in by_server.items():
        for room, tokens in held:
            c, joined = pages.join(room, [tokens["1"]])  # through the proxy: it lands on sid
            assert joined["type"] == "joined" and joined["seats"] == [1], joined
            c.sock.close()
            for other in set(IDS) - {sid}:  # no other server has the room
                c, answer = pages.join(room, [], port=cluster.ports[other])
                assert "no room" in answer.get("message", ""), (sid, other, answer)
                c.sock.close()
    return by_server


def check_kill(pages, cluster, by_server):
    victim = IDS[0]
    games = []
    for room, tokens in by_server[victim][:2] + [by_server[s][0] for s in IDS[1:]]:
        blue, red = pages.join(room, [tokens["1"]])[0], pages.join(room, [tokens["2"]])[0]
        blue.send({"type": "start", "game": 1})
        red.expect("started")
        blue.expect("started")
        assert play(blue, red, 1, 3) == [1, 2, 3]
        games.append([room, tokens, blue, red])
    cluster.kill(victim)
    for room, tokens, blue, red in games:
        if room.startswith(victim):  # its pages lose the connection and cannot reach the room
            for page in blue, red:
                try:
                    page.recv()
                    raise AssertionError("a page of a killed server still hears")
                except (ConnectionError, OSError):
                    pass
            try:
                pages.join(room, [tokens["1"]], since=3)
                raise AssertionError("a room of a killed server answered")
            except ConnectionError:
                pass
        else:  # the other rooms play on, on the same connections
            assert play(blue, red, 4, 3) == [4, 5, 6]
    cluster.start(victim)
    for game in games:
        room, tokens, blue, red = game
        if room.startswith(victim):  # the pages come back and play on where they were
            blue, joined = pages.join(room, [tokens["1"]], since=3)
            assert joined["lastSeq"] == {"1": 3} and joined["game"] == 1, joined
            red = pages.join(room, [tokens["2"]], since=3)[0]
            assert play(blue, red, 4, 3) == [4, 5, 6]
            game[2:] = blue, red
        watcher = pages.join(room, [])[0]
        cols = [watcher.expect("move")["col"] for _ in range(6)]
        assert cols == [seq % 24 for seq in range(1, 7)], (room, cols)
        watcher.sock.close()
    return games


def check_drain(pages, cluster, games):
    room, tokens, blue, red = next(g for g in games if g[0].startswith(IDS[1]))
    direct = pages.join(room, [], port=cluster.ports[IDS[1]])[0]
    assert cluster.kill(IDS[1], signal.SIGTERM) == 0
    for page in blue, red, direct:  # through the proxy too, every page is told
        try:
            while True:
                page.recv()
        except ConnectionError:
            assert (page.close_code, page.close_reason) == (1012, "the server is restarting"), page.close_code
    assert not (cluster.state / f"rooms-{IDS[1]}.sqlite-wal").exists(), "the database was not closed"
    cluster.start(IDS[1])
    assert pages.join(room, [tokens["1"]], since=6)[1]["lastSeq"] == {"1": 6}


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    check_command_line(os.path.join(bin_dir, "spindrel-server"))
    os.environ.update(MALLOC_PERTURB_="165", GLIBC_TUNABLES="glibc.malloc.tcache_count=0")
    with tempfile.TemporaryDirectory() as scratch:
        site = pathlib.Path(scratch, "site")
        site.mkdir()
        (site / "index.html").write_text("<p>home")
        cluster = Cluster(bin_dir, str(site), pathlib.Path(scratch, "state"))
        try:
            pages = Pages(cluster)
            games = check_kill(pages, cluster, check_spread(pages, cluster))
            check_drain(pages, cluster, games)
        finally:
            cluster.stop()
    print("cluster tests passed")


if __name__ == "__main__":
    main()
