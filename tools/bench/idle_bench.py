#!/usr/bin/env python3
"""idle_bench.py SITE BIN [SECONDS RUNS]: the CPU a page at rest costs in headless Chromium (a benchmark, not a
test): the game page waiting for blue's click, and the online page waiting for a friend who is away. Each run opens
the page in a fresh browser, brings it to rest, then reads the CPU time of every Chromium process over SECONDS
(default 10); it prints the share of one core, median of RUNS (default 5), beside an empty page's."""
import os, shutil, signal, statistics, sys, tempfile, time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "online"))
from browser_lib import Browser, Server, create, player, start_game, stop, stop_all  # noqa: E402

TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(group):  # user and system time of every process in Chromium's process group
    total = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[2]) == group:  # pgrp
            total += int(fields[11]) + int(fields[12])
    return total / TICK


def game_at_rest(page, base):  # New Game with the defaults: blue, a human, to move
    page.goto(base + "cspindrel.html")
    page.wait("(globalThis.MainLoop || Browser.mainLoop).currentFrameNumber > 5")
    page.click(100, 420)


def online_at_rest(browser, base):  # the friend joins, the game starts, the friend goes away: the page waits
    host, invites = create(browser, base, 1, ["browser", "friend"])
    friend = player(browser, invites[0], 1)
    start_game(host, [host, friend])
    friend.close()
    host.wait("(t => t && t.atRest)(online.game.turn())", 30)


def measure(scratch, setup, seconds):
    browser = Browser(f"{scratch}/{time.time()}")
    try:
        setup(browser)
        time.sleep(3)  # the browser's own start-up work settles
        before = cpu_seconds(browser.process.pid)
        time.sleep(seconds)
        return 100 * (cpu_seconds(browser.process.pid) - before) / seconds
    finally:
        stop(browser.process)


def main():
    site, bin_dir = (os.path.abspath(p) for p in sys.argv[1:3])
    seconds, runs = (float(sys.argv[3]) if len(sys.argv) > 3 else 10), (int(sys.argv[4]) if len(sys.argv) > 4 else 5)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    scratch = tempfile.mkdtemp(prefix="spindrel-idle-bench-")
    try:
        server = Server(f"{bin_dir}/spindrel-server", site, scratch).start()
        cases = (("an empty page", lambda b: b.page(390, 844).goto("about:blank")),
                 ("cspindrel.html at rest", lambda b: game_at_rest(b.page(1024, 768), server.base)),
                 ("online.html waiting for a friend", lambda b: online_at_rest(b, server.base)))
        for name, setup in cases:
            shares = [measure(scratch, setup, seconds) for _ in range(runs)]
            print(f"{name}: {statistics.median(shares):.1f} % of a core (median of {runs} runs of {seconds:g} s;"
                  f" {min(shares):.1f} to {max(shares):.1f})", flush=True)
    finally:
        stop_all()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
