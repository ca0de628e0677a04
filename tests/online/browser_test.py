#!/usr/bin/env python3
"""browser_test.py SITE BIN: online games between pages in headless Chromium (a browser context per player)
through the real spindrel-server of BIN. Every page's records of the moves must be equal, and each page's game,
replayed by the desktop replay tool, must reach the same board at every rest. On the way: what a person reads;
a waiting page asleep; a move by keys; clicks that are no moves; moves the rules refuse; nonsense from the server;
a page reopened; the server killed and restarted; a hidden tab's notification; the game watched again.
Screenshots go to BIN/../online-shots/."""
import os, random, re, shutil, signal, sys, tempfile, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser_lib import Browser, Server, create, desktop_rests, play, player, start_game, stop_all  # noqa: E402

FAILURES = []
SPEED = 1000  # passes per display frame at most: the page's test pace, as fast as it goes


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what, file=sys.stderr)
    FAILURES.extend([] if ok else [what])


def settled(pages):  # every page has taken every move of the room, and the board is at rest
    last = max(page.js("online.lastN") for page in pages)
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


def two_players(browser, server, replay, scratch, shots):
    # The lobby says what the game is and what each choice means; the game's keys are not there yet.
    lobby = player(browser, server.base + "online.html", SPEED)
    lobby.wait("online.state == 'connected'", 20)
    text = lobby.text("#create")
    check(all(t in text for t in ("A game of turning nodes", "invite link", "this browser", "the computer, TOUGH"))
          and lobby.text("#keys") == "" and lobby.text("#screen") == "", "the lobby explains the game and the choices")
    lobby.shot(shots, "lobby")
    lobby.close()

    # The waiting room: red has not opened its link, and Start says so; each link says whom it is for.
    a, invites = create(browser, server.base, SPEED, ["browser", "friend"], 2, "ccw")
    links = [a.js(f"document.querySelector('label[for=link{i}]').innerText") for i in range(2)]
    check(a.text("#seats").count("not joined yet") == 1 and a.js("document.getElementById('start').disabled")
          and a.text("#why") == "Waiting for Red to open their invite link" and "Invite link for \u25c6 Red" in links[0]
          and links[1].startswith("Watch link"), f"the waiting room says who has not joined and which link is which:"
          f" {links}")
    a.shot(shots, "waiting")
    b = player(browser, invites[0], SPEED)
    check(a.wait("document.getElementById('seats').innerText.includes('joined') &&"
                 " !document.getElementById('seats').innerText.includes('not joined') &&"
                 " !document.getElementById('start').disabled && 1") and a.text("#why") == "", "blue sees red join")
    start_game(a, [a, b])
    rng, pages = random.Random(18), [a, b]
    play(pages, lambda: a.js("online.lastN") >= 6, rng, meek=(2,))
    settled(pages)

    # The game page: the status beside the board, in each player's terms; a move by keys (the careful tap:
    # tests/web/phone_online.py).
    mover, other = (a, b) if a.state()["turn"]["current"] == 1 else (b, a)
    check(mover.text("#turn").startswith("Your turn") and other.text("#turn").endswith("'s turn") and
          "Round" in a.text("#counters") and "nodes" in a.text("#seats") and "Esc" in a.text("#keys") and
          a.text("#create") == "", f"whose turn it is, in each page's terms: {mover.text('#turn')} / "
          f"{other.text('#turn')}")
    mover.shot(shots, "game")
    # The page that waits for the other's move sleeps; the move wakes it, and it makes up the passes it slept
    # through before it enters the move.
    asleep, before = other.sleeps(), other.js("[online.game.pass(), performance.timeOrigin + performance.now()]")
    time.sleep(1)
    s = mover.state()
    col, row = mover.choose(s["board"], s["turn"]["current"], rng)
    mover.key("ArrowRight", 39)  # the first arrow marks the board's middle
    marked = mover.js("online.game.marked()")
    for _ in range(abs(col - marked[0])):
        mover.key("ArrowRight" if col > marked[0] else "ArrowLeft", 39 if col > marked[0] else 37)
    for _ in range(abs(row - marked[1])):
        mover.key("ArrowDown" if row > marked[1] else "ArrowUp", 40 if row > marked[1] else 38)
    mover.key("Enter", 13)
    other.wait(f"online.lastN > {s['lastN']}", 30)
    settled(pages)
    entered, at = other.js("[online.game.clicks.at(-1)[0], online.game.appliedAt[online.lastN]]")
    pace = int(re.search(r"frames_per_second='(\d+)'", open(f"{os.path.dirname(replay)}/../facts.sh").read())[1])
    slept = (at - before[1]) * pace / 1000
    check(asleep and entered - before[0] >= slept - 5,
          f"the waiting page sleeps, and enters the move after making up {entered - before[0]} passes in {slept:.0f}")
    check(other.records()[-1] | {"board": 0} == {"n": s["lastN"] + 1, "seat": s["turn"]["current"], "col": col,
          "row": row, "outcome": "applied", "board": 0}, "a move made by keys reaches the other page")

    # Right and middle clicks and the wheel over the mover's node, and clicks on the page whose turn it is not
    # (on its own node, on the mover's): nothing is sent, nothing changes on any page.
    mover, other = (a, b) if a.state()["turn"]["current"] == 1 else (b, a)
    before = [p.state() for p in pages]
    seat, other_seat = before[0]["turn"]["current"], 3 - before[0]["turn"]["current"]
    x, y = mover.cell_point(*mover.choose(before[0]["board"], seat, rng))
    left, top = mover.js("(r => [r.left, r.top])(Module.canvas.getBoundingClientRect())")
    for button in ("right", "middle"):
        for kind in ("mousePressed", "mouseReleased"):
            mover.call("Input.dispatchMouseEvent", type=kind, x=left + x, y=top + y, button=button, clickCount=1)
    mover.call("Input.dispatchMouseEvent", type="mouseWheel", x=left + x, y=top + y, deltaX=0, deltaY=120)
    for owner in (other_seat, seat):
        other.click_cell(*other.choose(before[0]["board"], owner, rng))
    time.sleep(0.5)
    after = [p.state() for p in pages]
    check(all(x["board"] == y["board"] and x["lastN"] == y["lastN"] and x["sent"] == y["sent"]
              for x, y in zip(before, after)), "a right click, a middle click, the wheel and a click out of turn"
          " change nothing on any page")

    # Moves the rules ignore, sent as a page could: for the seat not to move, and on a node not the mover's.
    game = a.js("online.gameNumber")
    other.js(f"online.send({{type: 'move', game: {game}, seat: {other_seat}, col: 0, row: 0,"
             f" seq: ++online.seq[{other_seat}]}})")
    foreign = next((c, r) for c in range(24) for r in range(24) if before[0]["board"].split(" ")[5][5 * (24 * c + r)]
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

    watcher.wait("document.getElementById('turn').textContent.startsWith('You are watching')", 10)
    check(watcher.text("#turn").startswith("You are watching") and "Esc" not in watcher.text("#keys"),
          f"the watcher reads that it is watching: {watcher.text('#turn')}")

    # The server killed mid-game: a countdown to each try, the board dimmed, after three failed tries the
    # server said to be unreachable with a button to try now; started again, the pages reconnect and play on.
    play(pages[:2], lambda: a.js("online.lastN") >= 26, rng, meek=(2,))
    settled(pages)
    server.kill()
    for page in pages:
        page.wait("online.state != 'connected'", 20)
    first = a.wait("/connection lost; trying again in [0-9] s/i.test(document.getElementById('connection').innerText)"
                   " && document.getElementById('connection').innerText", 20)
    check(a.wait(f"document.getElementById('connection').innerText != {first!r} &&"
                 " /again in [0-9] s/.test(document.getElementById('connection').innerText)", 5) and
          a.js("Module.canvas.classList.contains('dim')"), f"the lost connection counts down ({first}) and dims the board")
    check(a.wait("document.getElementById('connection').innerText.includes('cannot be reached') &&"
                 " !!document.getElementById('try-now')", 30), "after three failed tries: the server cannot be reached")
    a.shot(shots, "lost-connection")
    server.start()
    a.js("document.getElementById('try-now').click()")
    for page in pages:
        page.wait("online.state == 'connected' && !Module.canvas.classList.contains('dim')", 30)

    # A hidden tab gets its notification when its turn comes.
    browser.call("Browser.grantPermissions", permissions=["notifications"], origin=server.base.rstrip("/"),
                 browserContextId=a.context)
    a.js("Object.defineProperty(document, 'hidden', {get: () => true, configurable: true}); online.notified = 0")
    play(pages[:2], lambda: a.js("online.notified > 0 || online.lastN > 29"), rng, meek=(2,))
    check(a.wait("online.notified > 0 && document.title.startsWith('Your turn') && 1", 30) == 1,
          "a hidden tab gets its notification, and its title says it is your turn")
    a.js("Object.defineProperty(document, 'hidden', {get: () => false})")
    moves = play(pages[:2], lambda: a.js("online.game.turn().winner") != 0, rng, 900, meek=(2,))
    records = compare(pages, "a two-player game after the server's restart, to its end", replay, scratch)
    check(a.js("online.game.turn().winner") in (1, 2), f"the game has a winner after {len(records)} moves"
          f" ({moves} since the restart)")
    winner = a.js("online.game.turn().winner")
    results = [page.text("#result") for page in pages]
    name = ["Blue", "Red"][winner - 1] + " won"
    check(results == [name, name, name][:winner - 1] + ["You won"] + [name, name][winner - 1:],
          f"each page says the result in its player's terms: {results}")
    check(a.text("#start") == "New game, same seats" and a.js("!document.getElementById('start').disabled") and
          "Watch this game again" in a.text("#again") and a.text("#keys").startswith("S: sound"),
          "after the win: a new game with the same seats, a link to watch it again, no node left to play")
    a.shot(shots, "end")
    again = player(browser, a.js("document.getElementById('again-link').value"), SPEED)
    again.wait(f"online.game.records.length == {len(records)} && online.game.turn().winner", 120)
    check(again.records() == records and again.js("online.game.slices") == 0, "the finished game watched again"
          " from its first move, at the game's pace, makes the same moves")
    again.close()

    # The new game: every page starts a fresh game from the room's new seed; then Esc on red's page leaves it.
    seed = a.js("online.seed")
    a.js("document.getElementById('start').click()")
    for page in pages:
        reloaded(page, "online.gameNumber == 2 && online.game.begun && online.state == 'connected'")
    check(len({page.js("online.seed") for page in pages} - {seed}) == 1, "the new game runs from a new seed on"
          " every page")
    play(pages[:2], lambda: a.js("online.lastN") >= 2, rng, meek=(2,))
    compare(pages, "the new game", replay, scratch)
    b.key("Escape", 27)
    check(b.wait("online.left && document.getElementById('connection').textContent.includes('left') && 1", 20) == 1
          and a.wait("document.getElementById('seats').textContent.includes('away') && 1", 20) == 1,
          "Esc leaves the game: red's page says so, blue's shows red away")
    for page in pages:
        page.close()


def reloaded(page, condition, seconds=60):  # the condition, in a page that loads itself again on the way
    deadline = time.time() + seconds
    while True:
        try:
            return page.wait(condition, 2)
        except (AssertionError, TimeoutError):
            if time.time() > deadline:
                raise


def four_players(browser, server, replay, scratch, shots):
    """Two meek humans against two computers: once both humans are out, every page runs the computers' game to
    its end unpaced, and says so."""
    c, invites = create(browser, server.base, SPEED, ["browser", "c1", "friend", "c2"], 4, "cw")
    d = player(browser, invites[0], SPEED)
    start_game(c, [c, d])
    pages = [c, d]
    for page in pages:  # the game plays the room's settings: who plays each colour, the turning
        page.wait("online.game.rests.length > 0", 30)
        check(page.js("[1, 2, 3, 4].map(s => Module._online_seat(s)).concat(Module._online_layout(4))")
              == [0, 1, 0, 2, -1], "the four-player game has the room's seats and turning on every page")
    play(pages, lambda: c.js("online.game.finishing || online.game.turn().winner != 0"), random.Random(19), 900,
         meek=(1, 3))
    records = compare(pages, "a four-player game to its end", replay, scratch)
    winner = c.js("online.game.turn().winner")
    out = [page.js("Object.keys(online.game.out).length == 2 && online.game.slices > 0") for page in pages]
    results = [page.text("#result") for page in pages]
    check(winner != 0 and (all(out) and results == ["You are out"] * 2 or not any(out) and "You won" in results),
          f"after {len(records)} moves of its humans the game has a winner ({winner}); pages out of it, having run"
          f" the rest unpaced: {out}; they read {results}")
    if all(out):
        c.shot(shots, "out")
        # A watch link opened on the finished game catches up, then runs the computers' game in slices.
        late = player(browser, c.js("location.origin + location.pathname + '#room=' + online.room"), 1)
        late.wait("online.game.endedAt", 60)
        boards = [[board for _, board in page.rests()] for page in (late, c)]
        check(boards[0] == boards[1] and late.js("online.game.finishPasses") > 0, "a watch link on the finished"
              f" game reaches its {len(boards[0])} boards at rest, the computers' game run in slices")
        late.close()


def main():
    site, bin_dir = (os.path.abspath(p) for p in sys.argv[1:3])
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # the finally below runs on a kill too
    scratch = tempfile.mkdtemp(prefix="spindrel-online-")
    try:
        server = Server(f"{bin_dir}/spindrel-server", site, scratch).start()
        browser = Browser(scratch)
        shots = os.path.join(os.path.dirname(bin_dir), "online-shots")
        for scenario in (two_players, four_players):
            try:
                scenario(browser, server, f"{bin_dir}/spindrel-replay", scratch, shots)
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
