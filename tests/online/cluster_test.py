#!/usr/bin/env python3
"""cluster_test.py BIN_DIR: the server's command line; then three servers behind HAProxy with
TLS (tools/cluster): 30 rooms spread over them, each room's pages on the room's server, a
server killed with SIGKILL pausing only its own rooms, and a server drained by SIGTERM."""
import os, pathlib, re, signal, ssl, subprocess, sys, tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools" / "cluster"))
from cluster import Cluster, IDS  # noqa: E402
from wsclient import Client  # noqa: E402


def check_command_line(server):
    helped = subprocess.run([server, "--help"], capture_output=True, text=True)
    assert helped.returncode == 0 and "--server-id" in helped.stdout, helped
    for wrong in ["--site / --bogus", "--port 1", "--site / --server-id 0g", "--site / --port 65536",
                  "--site / --idle-limit 0", "--site /nowhere", "--site / --server-id 123456789"]:
        r = subprocess.run([server, *wrong.split()], capture_output=True, text=True, timeout=10)
        assert r.returncode == 2 and "--help" in r.stderr, (wrong, r)


def refused(connect):
    """True when the connection is cut or refused (HAProxy's 503 for a server that is down)."""
    try:
        while connect().recv():
            pass
    except TimeoutError:  # silent, not cut
        return False
    except OSError:  # ConnectionError and TLS errors among them
        return True


class Pages:
    """Pages through the proxy (wss://) or, given a port, straight to a server (ws://)."""
    def __init__(self, cluster):
        self.cluster, self.tls = cluster, ssl.create_default_context(cafile=cluster.state / "cert.pem")

    def join(self, room, tokens, since=0, port=None, kind="join"):
        c = Client(port, room) if port else Client(self.cluster.port, room, self.tls)
        c.send({"type": kind, "room": room, "tokens": tokens, "since": since, "players": 2, "sense": "ccw",
                "seats": [{"kind": "human"}] * 4})
        return c, c.recv()


def play(blue, red, seqs):
    """blue moves once per seq; both pages hear each move; the moves' numbers."""
    for seq in seqs:
        blue.send({"type": "move", "game": 1, "seat": 1, "col": seq % 24, "row": 5, "seq": seq})
        m = blue.expect("move")
        assert red.expect("move") == m and m["col"] == seq % 24, m
        yield m["n"]


def check_spread(pages, cluster):
    rooms = [(m["room"], m["tokens"]) for m in (pages.join(None, [], kind="create")[1] for _ in range(30))]
    assert all(re.fullmatch("0[123][0-9a-f]{32}", room) for room, _ in rooms), rooms
    by_server = {sid: [r for r in rooms if r[0].startswith(sid)] for sid in IDS}
    assert all(len(r) >= 5 for r in by_server.values()), {s: len(r) for s, r in by_server.items()}
    for sid, (room, tokens) in ((sid, r) for sid in IDS for r in by_server[sid]):
        assert pages.join(room, [tokens["1"]])[1]["seats"] == [1]  # through the proxy: it lands on sid
        for other in set(IDS) - {sid}:  # no other server has the room
            assert "no room" in pages.join(room, [], port=cluster.ports[other])[1]["message"]
    return by_server


def check_kill(pages, cluster, by_server):
    victim, games = IDS[0], []
    for room, tokens in by_server[victim][:2] + [by_server[s][0] for s in IDS[1:]]:
        blue, red = pages.join(room, [tokens["1"]])[0], pages.join(room, [tokens["2"]])[0]
        blue.send({"type": "start", "game": 1})
        assert red.expect("started") == blue.expect("started")
        assert list(play(blue, red, [1, 2, 3])) == [1, 2, 3]
        games.append([room, tokens, blue, red])
    cluster.kill(victim)
    for room, tokens, blue, red in games:
        if room.startswith(victim):  # its pages are cut off and cannot come back yet
            assert refused(lambda: blue) and refused(lambda: red)
            assert refused(lambda: pages.join(room, [tokens["1"]], since=3)[0])
        else:  # the other rooms play on, on the same connections
            assert list(play(blue, red, [4, 5, 6])) == [4, 5, 6]
    cluster.start(victim)
    for game in games:
        room, tokens = game[:2]
        if room.startswith(victim):  # the pages come back and play on where they were
            (blue, joined), red = pages.join(room, [tokens["1"]], 3), pages.join(room, [tokens["2"]], 3)[0]
            assert joined["lastSeq"] == {"1": 3} and list(play(blue, red, [4, 5, 6])) == [4, 5, 6], joined
            game[2:] = blue, red
        watcher = pages.join(room, [])[0]
        assert [watcher.expect("move")["col"] for _ in range(6)] == [1, 2, 3, 4, 5, 6], room
    return games


def check_drain(pages, cluster, games):
    room, tokens, blue, red = next(g for g in games if g[0].startswith(IDS[1]))
    direct = pages.join(room, [], port=cluster.ports[IDS[1]])[0]
    assert cluster.kill(IDS[1], signal.SIGTERM) == 0
    for page in blue, red, direct:  # through the proxy too, every page is told
        assert refused(lambda: page) and (page.close_code, page.close_reason) == (1012, "the server is restarting")
    assert not (cluster.state / f"rooms-{IDS[1]}.sqlite-wal").exists(), "the database was not closed"
    cluster.start(IDS[1])
    assert pages.join(room, [tokens["1"]], since=6)[1]["lastSeq"] == {"1": 6}


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    check_command_line(os.path.join(bin_dir, "spindrel-server"))
    os.environ.update(MALLOC_PERTURB_="165", GLIBC_TUNABLES="glibc.malloc.tcache_count=0")
    with tempfile.TemporaryDirectory() as scratch:
        (site := pathlib.Path(scratch, "site")).mkdir()
        (site / "index.html").write_text("<p>home")
        cluster = Cluster(bin_dir, str(site), pathlib.Path(scratch, "state"))
        try:
            pages = Pages(cluster)
            check_drain(pages, cluster, check_kill(pages, cluster, check_spread(pages, cluster)))
        finally:
            cluster.stop()
    print("cluster tests passed")


if __name__ == "__main__":
    main()
