#!/usr/bin/env python3
"""browser_test.py SITE BIN: online games between pages in headless Chromium (a browser context per player)
through the real spindrel-server of BIN on a loopback port. Every page's records of the moves must be equal, and
each page's game, exported as a replay script, must reach the same board at every rest in the desktop replay tool.
On the way: a click out of turn, moves the rules refuse, nonsense from the server, a page closed and opened again,
and the server killed and restarted."""
import os, random, shutil, signal, sys, tempfile, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser_lib import Browser, Server, create, desktop_rests, play, player, start_game, stop_all  # noqa: E402

FAILURES = []
SPEED = 1000  # passes per display frame at most: the page's test pace, as fast as it goes


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what, file=sys.stderr)
    FAILURES.extend([] if ok else [what])


def settled(pages):  # every page has taken every move of the room, and the board is at rest
    last = pages[0].js("online.lastN")
    for page in pages:
        page.wait(f"online.lastN == {last} && online.game.records.length == {last} &&"
                  " online.game.records.every(r => r.board) && !online.game.catchingUp", 60)


def compare(pages, what, replay, scratch):
    settled(pages)
    records = [page.records() for page in pages]
    check(all(r == records[0] for r in records), f"{what}: the records of {len(records[0])} moves are equal on"
          f" {len(pages)} pages")
    for i, page in enumerate(pages):
        rests = page.rests()
        check(desktop_rests(replay, page.script(), scratch) == rests,
              f"{what}: page {i + 1}'s game replayed on the desktop reaches its {len(rests)} rests alike")
    return records[0]


def two_players(browser, server, replay, scratch):
    a, invites = create(browser, server.base, SPEED, ["browser", "friend"], 2, "ccw")
    b = player(browser, invites[0], SPEED)
    check(a.wait("document.getElementById('seats').textContent.includes('a friend') &&"
                 " !document.getElementById('seats').textContent.includes('away') && 1"), "blue sees red join")
    start_game(a, [a, b])
    rng, pages = random.Random(18), [a, b]
    play(pages, lambda: a.js("online.lastN") >= 6, rng, meek=(2,))
    settled(pages)

    # A click on a node of the player whose turn it is not: nothing is sent, nothing changes.
    mover, other = (a, b) if a.state()["turn"]["current"] == 1 else (b, a)
    before = [p.state() for p in pages]
    other_seat = 3 - before[0]["turn"]["current"]
    other.click_cell(*other.choose(before[0]["trace"], other_seat, rng))  # its own node
    other.click_cell(*other.choose(before[0]["trace"], 3 - other_seat, rng))  # the mover's
    time.sleep(0.5)
    after = [p.state() for p in pages]
    check(all(x["trace"].split(" ")[2:] == y["trace"].split(" ")[2:] and x["lastN"] == y["lastN"] and
              x["sent"] == y["sent"] for x, y in zip(before, after)), "a click out of turn changes nothing on any page")

    # Moves the rules ignore, sent as a page could: for the seat not to move, and on a node not the mover's.
    seat, game = before[0]["turn"]["current"], a.js("online.gameNumber")
    other.js(f"online.send({{type: 'move', game: {game}, seat: {other_seat}, col: 0, row: 0,"
             f" seq: ++online.seq[{other_seat}]}})")
    foreign = next((c, r) for c in range(24) for r in range(24) if before[0]["trace"].split(" ")[8][5 * (24 * c + r)]
                   == str(other_seat))
    mover.js(f"online.send({{type: 'move', game: {game}, seat: {seat}, col: {foreign[0]}, row: {foreign[1]},"
             f" seq: ++online.seq[{seat}]}})")
    a.wait(f"online.lastN == {before[0]['lastN'] + 2}")
    settled(pages)
    outcomes = [r["outcome"] for r in a.records()[-2:]]
    turn = a.state()["turn"]
    check(outcomes == ["dropped", "refused"] and turn["current"] == seat and turn["atRest"],
          f"a move for the seat not to move is dropped, one on another's node refused, the turn stays: {outcomes}")

    # Nonsense from the server: ignored, the connection said to be broken, then made again.
    a.js("online.socket.onmessage({data: '{\"type\": \"move\", \"game\": \"one\"'})")
    check(a.js("document.getElementById('connection').textContent.includes('broken')") is True,
          "a page that gets nonsense says its connection is broken")
    a.wait("online.state == 'connected'", 20)

    # Red's page closed mid-game: blue sees red away; red's link in a new page catches up and plays on.
    play(pages, lambda: a.js("online.lastN") >= 16, rng, meek=(2,))
    settled(pages)
    b.close()
    check(a.wait("document.getElementById('seats').textContent.includes('away') && 1", 20) == 1,
          "red's page closed: blue's page shows red away")
    b = player(browser, invites[0], SPEED)
    b.wait("online.game.begun && !online.game.catchingUp && online.state == 'connected'", 60)
    pages = [a, b]
    compare(pages, "red's page opened again", replay, scratch)
    check(b.wait("!document.getElementById('seats').textContent.includes('away') && 1") == 1,
          "red's page back: nobody is away")

    # A watcher: the room's watch link, read-only.
    watcher = player(browser, a.js("online.room && location.origin + location.pathname + '#room=' + online.room"),
                     SPEED)
    watcher.wait("online.game.begun && !online.game.catchingUp", 60)
    pages.append(watcher)

    # The server killed mid-game and started again on the same files: the pages reconnect and play on.
    play(pages[:2], lambda: a.js("online.lastN") >= 26, rng, meek=(2,))
    settled(pages)
    server.kill()
    for page in pages:
        page.wait("online.state != 'connected'", 20)
    server.start()
    for page in pages:
        page.wait("online.state == 'connected'", 30)
    moves = play(pages[:2], lambda: a.js("online.game.turn().winner") != 0, rng, 900, meek=(2,))
    records = compare(pages, "a two-player game after the server's restart, to its end", replay, scratch)
    check(a.js("online.game.turn().winner") in (1, 2), f"the game has a winner after {len(records)} moves"
          f" ({moves} since the restart)")
    check(a.js("!document.getElementById('start').hidden && !document.getElementById('start').disabled") is True,
          "after the win a new game with the same seats is offered")

    # The new game: every page starts a fresh game from the room's new seed; then Esc on red's page leaves it.
    seed = a.js("online.seed")
    a.js("document.getElementById('start').click()")
    for page in pages:
        reloaded(page, "online.gameNumber == 2 && online.game.begun && online.state == 'connected'")
    check(len({page.js("online.seed") for page in pages} - {seed}) == 1, "the new game runs from a new seed on"
          " every page")
    play(pages[:2], lambda: a.js("online.lastN") >= 2, rng, meek=(2,))
    compare(pages, "the new game", replay, scratch)
    b.call("Input.dispatchKeyEvent", type="keyDown", key="Escape", code="Escape", windowsVirtualKeyCode=27)
    b.call("Input.dispatchKeyEvent", type="keyUp", key="Escape", code="Escape", windowsVirtualKeyCode=27)
    check(b.wait("online.left && document.getElementById('connection').textContent.includes('left') && 1", 20) == 1
          and a.wait("document.getElementById('seats').textContent.includes('away') && 1", 20) == 1,
          "Esc leaves the game: red's page says so, blue's shows red away")


def reloaded(page, condition, seconds=60):  # the condition, in a page that loads itself again on the way
    deadline = time.time() + seconds
    while True:
        try:
            return page.wait(condition, 2)
        except (AssertionError, TimeoutError):
            if time.time() > deadline:
                raise


def four_players(browser, server, replay, scratch):
    c, invites = create(browser, server.base, SPEED, ["browser", "c1", "friend", "c2"], 4, "cw")
    d = player(browser, invites[0], SPEED)
    start_game(c, [c, d])
    pages = [c, d]
    for page in pages:  # the game plays the room's settings: who plays each colour, the turning
        page.wait("online.game.rests.length > 0", 30)
        check(page.js("[1, 2, 3, 4].map(s => Module._online_seat(s)).concat(Module._online_layout(4))")
              == [0, 1, 0, 2, -1], "the four-player game has the room's seats and turning on every page")
    play(pages, lambda: c.js("online.lastN >= 150 || online.game.turn().winner != 0"), random.Random(19), 900)
    records = compare(pages, "a four-player game with two computer seats", replay, scratch)
    check(len(records) >= 150, f"the four-player game ran {len(records)} moves of its humans")


def main():
    site, bin_dir = (os.path.abspath(p) for p in sys.argv[1:3])
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # the finally below runs on a kill too
    scratch = tempfile.mkdtemp(prefix="spindrel-online-")
    try:
        server = Server(f"{bin_dir}/spindrel-server", site, scratch).start()
        browser = Browser(scratch)
        for scenario in (two_players, four_players):
            try:
                scenario(browser, server, f"{bin_dir}/spindrel-replay", scratch)
            except Exception as e:
                check(False, f"{scenario.__name__}: {type(e).__name__}: {e}")
    except Exception as e:
        check(False, f"{type(e).__name__}: {e}")
    finally:
        stop_all()
        shutil.rmtree(scratch, ignore_errors=True)
    print(f"{len(FAILURES)} failure(s)" if FAILURES else "all passed", file=sys.stderr)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
