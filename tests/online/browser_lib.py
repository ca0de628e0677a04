"""Headless Chromium over its DevTools pipe with one browser context per player, the game's server,
and the online page's players: what the browser tests and the benchmark of online play share."""
import ctypes, json, os, random, re, select, signal, socket, subprocess, sys, tempfile, time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PROCESSES = []


def start(*command, **options):  # in a session of its own, killed with this script however that ends
    PROCESSES.append(subprocess.Popen(command, start_new_session=True, **options,
                                      preexec_fn=lambda: ctypes.CDLL(None).prctl(1, signal.SIGKILL)))
    return PROCESSES[-1]


def stop(process, sig=signal.SIGKILL):  # by its id, with all it started (Chromium's renderers)
    try:
        os.killpg(process.pid, sig)
    except ProcessLookupError:
        pass
    process.wait()
    if process in PROCESSES:
        PROCESSES.remove(process)


def stop_all():
    for process in list(PROCESSES):
        stop(process)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Server:
    """spindrel-server on a loopback port, its files in a folder that outlives a kill."""

    def __init__(self, program, site, folder):
        self.program, self.site, self.folder, self.port, self.process = program, site, folder, free_port(), None

    def start(self):
        self.process = start(self.program, "--address", "127.0.0.1", "--port", str(self.port), "--site", self.site,
                             "--db", os.path.join(self.folder, "rooms.sqlite"), stdout=subprocess.DEVNULL,
                             stderr=open(os.path.join(self.folder, "server.log"), "a"))
        deadline = time.time() + 20
        while time.time() < deadline:
            try:
                socket.create_connection(("127.0.0.1", self.port), 0.2).close()
                return self
            except OSError:
                assert self.process.poll() is None, "spindrel-server ended at start-up"
                time.sleep(0.05)
        raise TimeoutError("spindrel-server never listened")

    def kill(self):
        stop(self.process)

    @property
    def base(self):
        return f"http://127.0.0.1:{self.port}/"


class Browser:
    def __init__(self, scratch):
        (commands, self.commands), (self.answers, answers) = os.pipe(), os.pipe()
        self.process = start("bash", "-c", "exec chromium --headless --no-sandbox --disable-gpu --disable-quic"
                             " --no-first-run --disable-background-networking --disable-component-update"
                             " --disable-sync --remote-debugging-pipe --autoplay-policy=no-user-gesture-required"
                             " --disable-background-timer-throttling --disable-renderer-backgrounding"
                             " --disable-backgrounding-occluded-windows"
                             f" --user-data-dir={scratch}/profile 3<&{commands} 4>&{answers} >/dev/null 2>&1",
                             pass_fds=(commands, answers))
        os.close(answers)  # so that the pipe ends with Chromium
        os.close(commands)
        self.buffer, self.next, self.events = b"", 0, []

    def until(self, accept, seconds):  # the first message, kept or to come, that accept(it) takes
        deadline, seen = time.time() + seconds, 0
        while True:
            for i in range(seen, len(self.events)):
                if accept(self.events[i]):
                    return self.events.pop(i)
            seen = len(self.events)
            if time.time() > deadline or not select.select([self.answers], [], [], deadline - time.time())[0]:
                raise TimeoutError(f"waited {seconds} s for Chromium")
            self.buffer += os.read(self.answers, 1 << 20) or sys.exit("Chromium closed its pipe")
            *messages, self.buffer = self.buffer.split(b"\0")  # each message ends with a NUL byte
            for message in map(json.loads, messages):
                if "id" in message or message.get("method") in ("Page.loadEventFired", "Runtime.exceptionThrown"):
                    self.events.append(message)  # the rest (console lines and such) is not kept

    def call(self, method, session=None, **params):
        self.next += 1
        number = self.next
        message = dict(id=number, method=method, params=params, **({"sessionId": session} if session else {}))
        os.write(self.commands, json.dumps(message).encode() + b"\0")
        answer = self.until(lambda e: e.get("id") == number, 120)
        assert "error" not in answer, f"{method}: {answer.get('error')}"
        return answer["result"]

    def page(self, url=None):
        """A page in a browser context of its own: another player at another computer."""
        context = self.call("Target.createBrowserContext")["browserContextId"]
        target = self.call("Target.createTarget", url="about:blank", browserContextId=context)["targetId"]
        page = Page(self, target, self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"])
        if url:
            page.goto(url)
        return page


class Page:
    def __init__(self, browser, target, session):
        self.browser, self.target, self.session = browser, target, session
        for method in ("Page.enable", "Runtime.enable"):
            self.call(method)
        self.call("Emulation.setDeviceMetricsOverride", width=1120, height=720, deviceScaleFactor=1, mobile=False)

    def call(self, method, **params):
        return self.browser.call(method, self.session, **params)

    def goto(self, url):
        self.browser.events = [e for e in self.browser.events if e.get("sessionId") != self.session]
        self.call("Page.navigate", url=url)
        self.browser.until(lambda e: e.get("sessionId") == self.session and e.get("method") == "Page.loadEventFired", 60)

    def close(self):
        self.browser.call("Target.closeTarget", targetId=self.target)

    def js(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, awaitPromise=True, returnByValue=True)
        assert "exceptionDetails" not in result, str(result.get("exceptionDetails"))[:500]
        return result["result"].get("value")

    def wait(self, condition, seconds=60):  # in the page, until the condition holds; its value
        return self.js("new Promise((ok, no) => { const end = Date.now() + %d; (function poll() { let v; try { v = %s; }"
                       " catch {} v ? ok(v) : Date.now() > end ? no(new Error('waited for ' + %s)) :"
                       " setTimeout(poll, 10); })(); })" % (seconds * 1000, condition, json.dumps(condition)))

    def click(self, x, y):  # a left click on the canvas at (x, y)
        left, top = self.js("(r => [r.left, r.top])(Module.canvas.getBoundingClientRect())")
        for kind in ("mouseMoved", "mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=left + x + 0.5, y=top + y + 0.5, clickCount=1,
                      button="none" if kind == "mouseMoved" else "left")


class Player(Page):
    """A page of the online game with the reading a player does: the board, whose turn, the records."""

    def state(self):
        return self.js("(g => ({ idle: g.idle(), turn: g.turn(), records: g.records.length, lastN: online.lastN,"
                       " sent: online.sent.length, trace: g.begun ? Module.UTF8ToString(Module._online_trace()) : '',"
                       " seats: online.seats, connection: online.state }))(online.game)")

    def layout(self):
        return self.js("[0, 1, 2, 3].map(i => Module._online_layout(i))")

    def choose(self, trace, seat, rng, eager=True):
        """One of the seat's nodes, not burnt, by the captures its firing would make at once: an eager player
        takes one of those that capture the most, a meek one of those that capture the least, so that a game
        between the two ends within a few hundred moves."""
        board, size, sense = trace.split(" ")[8], 24, 1 if self.js("online.settings.sense") == "ccw" else -1
        node = lambda c, r: board[5 * (c * size + r):5 * (c * size + r) + 5] if 0 <= c < size and 0 <= r < size else ""
        steps = ((1, 0), (0, -1), (-1, 0), (0, 1))  # east, north, west, south
        foreign = lambda n: n != "" and n[0] != str(seat) and n[4] != "b"

        def captures(c, r):
            turned = (int(node(c, r)[1]) + sense) % 4
            pointing = [d for d, (dc, dr) in enumerate(steps) if foreign(node(c + dc, r + dr)) and
                        int(node(c + dc, r + dr)[1]) == (d + 2) % 4]
            dc, dr = steps[turned]
            return len(pointing) + (turned not in pointing and foreign(node(c + dc, r + dr)))
        mine = [(captures(c, r), c, r) for c in range(size) for r in range(size)
                if node(c, r)[0] == str(seat) and node(c, r)[4] != "b"]
        best = (max if eager else min)(m[0] for m in mine)
        return rng.choice([(c, r) for score, c, r in mine if score == best])

    def click_cell(self, col, row):
        x, y, cell, _ = self.layout()
        self.click(x + col * cell + cell // 2, y + row * cell + cell // 2)

    def records(self):
        return self.js("online.game.records")

    def rests(self):
        return self.js("online.game.rests")

    def script(self):
        return self.js("online.game.script('exported by the browser test')")


def rests_of(trace_lines):  # [pass, state] each time the board comes to rest, from replay trace lines
    rests, resting = [], False
    for line in trace_lines:
        if not line.startswith("T "):
            continue
        _, frame, rest = line.rstrip("\n").split(" ", 2)
        now = rest.startswith("-1 ")
        if now and not resting:
            rests.append([int(frame), rest])
        resting = now
    return rests


def desktop_rests(replay, script, scratch):
    path = tempfile.mktemp(dir=scratch, suffix=".replay")
    open(path, "w").write(script)
    with subprocess.Popen([replay, path], cwd=scratch, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True) as run:
        rests = rests_of(run.stdout)
        assert run.wait() == 0, f"spindrel-replay: {run.stderr.read().strip()}"
    return rests


def play(players, until, rng, seconds=600, meek=()):
    """Clicks, for whichever page's seat is to move, one of that seat's nodes (Player.choose; the seats
    in meek play meekly), until until() holds. Returns the number of moves clicked."""
    moves, deadline = 0, time.time() + seconds
    while not until():
        assert time.time() < deadline, "the game did not get on"
        for player in players:
            s = player.state()
            if s["idle"] and s["turn"]["current"] in s["seats"]:
                player.click_cell(*player.choose(s["trace"], s["turn"]["current"], rng,
                                                  s["turn"]["current"] not in meek))
                player.wait(f"online.lastN > {s['lastN']}", 30)
                moves += 1
                break
        else:
            time.sleep(0.02)
    return moves
