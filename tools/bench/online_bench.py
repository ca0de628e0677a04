#!/usr/bin/env python3
"""online_bench.py SITE BIN: the figures of online play (a benchmark, not a test): the bytes of the online page
beside the game page's, the time from a click on one page to the same click in the other page's game over loopback
at the game's own pace (median and 99th percentile over a whole game), and the time a watch link opened on a game
of 200 moves, then on one of 20,000 passes or more, takes to catch up (median of three pages each)."""
import gzip, os, random, shutil, signal, statistics, sys, tempfile

# The browser tests' players and server.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "online"))
from browser_lib import Browser, Server, create, play, player, start_game, stop_all  # noqa: E402


def sizes(site, names):
    data = [open(os.path.join(site, n), "rb").read() for n in names]
    return sum(map(len, data)), sum(len(gzip.compress(d)) for d in data)


def catch_up(browser, url, what, done="online.game.caughtUpAt && !online.game.catchingUp", end="caughtUpAt"):
    """Three watch pages opened on the room at url: the time from the room's answer (the moves follow it at once),
    and from the page having both its game started and the moves, to the page in step with them; the passes it ran."""
    answer, having = [], []
    for _ in range(3):
        late = player(browser, url.replace("?speed=1000", ""), 1)
        late.wait(f"online.lastN > 0 && {done}", 180)
        answer.append(late.js(f"online.game.{end} - online.joinedAt"))
        having.append(late.js(f"online.begunAt && online.game.{end} - Math.max(online.begunAt, online.movesAt)"))
        passes, moves, slices = late.js("[online.game.pass(), online.lastN, online.game.slices]")
        late.close()
    print(f"catch-up of {what} ({moves} moves, {passes} passes, {slices} slices):"
          f" median {statistics.median(answer):.0f} ms from the room's answer (runs: {', '.join(f'{t:.0f}' for t in answer)})" + (
              f"; {statistics.median(having):.0f} ms from the page having the moves" if all(having) else ""))


def main():
    site, bin_dir = (os.path.abspath(p) for p in sys.argv[1:3])
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    scratch = tempfile.mkdtemp(prefix="spindrel-online-bench-")
    try:
        game = sizes(site, ["cspindrel.html", "cspindrel.js", "cspindrel.wasm", "cspindrel.data"])
        online = sizes(site, ["online.html", "online.js", "online.wasm", "online.data", "online_page.js",
                              "online_lockstep.js", "online_view.js", "protocol.js"])
        print(f"online page: {online[0]} bytes ({online[1]} gzipped); the game page {game[0]} ({game[1]});"
              f" extra {online[0] - game[0]} bytes ({online[1] - game[1]} gzipped)")

        server = Server(f"{bin_dir}/spindrel-server", site, scratch).start()
        browser = Browser(scratch)

        # One page plays both seats meekly for 200 moves; then the room's watch link in new pages catches up.
        for attempt in range(5):  # the server draws the seed: a game may end sooner, then another one
            h = create(browser, server.base, 1000, ["browser", "browser"])[0]
            start_game(h, [h])
            play([h], lambda: h.js("online.lastN >= 200 || online.game.turn().winner != 0"), random.Random(attempt),
                 1800, meek=(1, 2))
            if h.js("online.lastN") >= 200:
                break
        watch = h.js("location.origin + location.pathname + '#room=' + online.room")
        catch_up(browser, watch, "a watch link on a 200-move game")
        # A person against three computers at TOUGH, out early: the computers' game runs to its end unpaced on
        # the player's page, and on watch pages opened afterwards.
        h = create(browser, server.base, 1000, ["browser", "c2", "c2", "c2"], 4)[0]
        start_game(h, [h])
        play([h], lambda: h.js("online.game.finishing || online.game.turn().winner != 0"), random.Random(4), 1800,
             meek=(1,))
        h.wait("online.game.turn().winner != 0", 600)
        watch = h.js("location.origin + location.pathname + '#room=' + online.room")
        catch_up(browser, watch, "a watch link on that game", "online.game.endedAt", "endedAt")
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
