#!/usr/bin/env python3
"""cluster_bench.py BIN_DIR [MOVES]: relay latency (a benchmark, not a test): the time from one page
sending a move to the other page of its room receiving it, straight to one spindrel-server (ws://)
and through HAProxy with TLS (wss://) to the same three servers, in one run, both to the same server,
each kind of move first in turn; median and 99th percentile of each."""
import os, pathlib, ssl, statistics, sys, tempfile, time

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path[:0] = [str(ROOT / "tools" / "cluster"), str(ROOT / "tests" / "online")]
from cluster import Cluster, IDS  # noqa: E402
from wsclient import Client  # noqa: E402


def room_pages(port, tls):
    """A started room of two seats on port: its two pages."""
    lobby = Client(port, tls=tls)
    lobby.send({"type": "create", "players": 2, "sense": "ccw", "seats": [{"kind": "human", "strength": 1}] * 4})
    created = lobby.expect("created")
    pages = []
    for seat in "12":
        page = Client(port, created["room"], tls)
        page.send({"type": "join", "room": created["room"], "tokens": [created["tokens"][seat]], "since": 0})
        page.expect("joined")
        pages.append(page)
    pages[0].send({"type": "start", "game": 1})
    for page in pages:
        page.expect("started")
        page.room = created["room"]
    return pages


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(len(ordered) * p))]


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    moves = int(sys.argv[2]) if len(sys.argv) > 2 else 500
    with tempfile.TemporaryDirectory() as scratch:
        site = pathlib.Path(scratch, "site")
        site.mkdir()
        (site / "index.html").write_text("<p>home")
        cluster = Cluster(bin_dir, str(site), pathlib.Path(scratch, "state"))
        try:
            tls = ssl.create_default_context(cafile=cluster.state / "cert.pem")
            proxied = room_pages(cluster.port, tls)
            sid = proxied[0].room[:2]  # the same server both ways
            paths = [("direct ws://", room_pages(cluster.ports[sid], None)), ("HAProxy wss://", proxied)]
            times = {name: [] for name, _ in paths}
            for seq in range(1, moves + 1):
                for name, (sender, receiver) in paths[::1 if seq % 2 else -1]:  # each first in turn
                    t = time.perf_counter()
                    sender.send({"type": "move", "game": 1, "seat": 1, "col": seq % 24, "row": 0, "seq": seq})
                    receiver.expect("move")
                    times[name].append((time.perf_counter() - t) * 1000)
                    sender.expect("move")
                time.sleep(0.06)  # under the server's 20 messages a second from one page
        finally:
            cluster.stop()
    for name, values in times.items():
        print(f"{name:15} relay of {len(values)} moves: median {statistics.median(values):.3f} ms, "
              f"p99 {percentile(values, 0.99):.3f} ms")


if __name__ == "__main__":
    main()
