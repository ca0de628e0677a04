#!/usr/bin/env python3
"""online_bench.py SITE BIN: the figures of online play (a benchmark, not a test): the bytes of the online page
beside the game page's, the time from a click on one page to the same click in the other page's game over loopback
at the game's own pace (median and 99th percentile over a whole game), and the time a page opened on a game of
200 moves takes to catch up."""
import gzip, os, random, shutil, signal, statistics, sys, tempfile

# The browser tests' players and server.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "online"))
from browser_lib import Browser, Server, create, play, player, start_game, stop_all  # noqa: E402


def sizes(site, names):
    data = [open(os.path.join(site, n), "rb").read() for n in names]
    return sum(map(len, data)), sum(len(gzip.compress(d)) for d in data)


def main():
    site, bin_dir = (os.path.abspath(p) for p in sys.argv[1:3])
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    scratch = tempfile.mkdtemp(prefix="spindrel-online-bench-")
    try:
        game = sizes(site, ["cspindrel.html", "cspindrel.js", "cspindrel.wasm", "cspindrel.data"])
        online = sizes(site, ["online.html", "online.js", "online.wasm", "online.data", "online_page.js",
                              "online_lockstep.js"])
        print(f"online page: {online[0]} bytes ({online[1]} gzipped); the game page {game[0]} ({game[1]});"
              f" extra {online[0] - game[0]} bytes ({online[1] - game[1]} gzipped)")

        server = Server(f"{bin_dir}/spindrel-server", site, scratch).start()
        browser = Browser(scratch)

        # One page plays both seats for 200 moves; then the same link in a new page catches up.
        h = create(browser, server.base, 1000, ["browser", "browser"])[0]
        start_game(h, [h])
        play([h], lambda: h.js("online.lastN >= 200 || online.game.turn().winner != 0"), random.Random(2), 1800)
        late = player(browser, h.js("location.href").replace("?speed=1000", ""), 1)
        late.wait("online.game.caughtUpAt && online.lastN >= 200", 120)
        taken = late.js("online.game.caughtUpAt - online.joinedAt")
        loaded = late.js("online.joinedAt - performance.timeOrigin")
        print(f"catch-up after 200 missed moves: {taken:.0f} ms from the room's answer ({loaded:.0f} ms to load"
              f" the page and join)")

        # A whole two-player game at the game's pace: each click's time on its page to its move's pass on the other.
        a, invites = create(browser, server.base, 1, ["browser", "friend"])
        b = player(browser, invites[0], 1)
        start_game(a, [a, b])
        play([a, b], lambda: a.js("online.game.turn().winner") != 0, random.Random(1), 1800, meek=(2,))
        delays = []
        for sender, receiver in ((a, b), (b, a)):
            seat = sender.js("online.seats[0]")
            sent = sender.js("online.sent")
            numbers = [r["n"] for r in receiver.records() if r["seat"] == seat]
            applied = receiver.js("online.game.appliedAt")
            delays += [applied[str(n)] - s["at"] for s, n in zip(sent, numbers) if str(n) in applied]
        delays.sort()
        print(f"click to applied on the other page, {len(delays)} moves: median {statistics.median(delays):.1f} ms,"
              f" 99th percentile {delays[min(len(delays) - 1, int(0.99 * len(delays)))]:.1f} ms")
    finally:
        stop_all()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
