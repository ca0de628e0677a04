"""The game's server and the online page's players in headless Chromium, for the browser tests and benchmarks."""
import base64, os, socket, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from chromium import Browser, Page, start, stop, stop_all  # noqa: E402,F401 (the tests' and the benchmark's too)
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


class Player(Page):
    """A page of the online game with the reading a player does: the board, whose turn, the records."""

    def state(self):
        return self.js("(g => ({ idle: g.idle(), turn: g.turn(), records: g.records.length, lastN: online.lastN,"
                       " sent: online.sent.length, board: g.begun ? g.board() : '',"
                       " seats: online.seats, connection: online.state }))(online.game)")

    def choose(self, line, seat, rng, eager=True):
        """One of the seat's nodes, not burnt, by the captures its firing would make at once: an eager player
        takes one of those that capture the most, a meek one of those that capture the least, so that a game
        between the two ends within a few hundred moves."""
        board, size, sense = line.split(" ")[5], 24, 1 if self.js("online.settings.sense") == "ccw" else -1
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

    def cell_point(self, col, row):  # where a click on the cell lands, in the canvas
        return self.js(f"[0, 1].map(a => Module._online_cell_point({col}, {row}, a))")

    def click_cell(self, col, row):
        self.click(*self.cell_point(col, row))

    def text(self, selector):  # what a person reads there ('' when it is hidden)
        return self.js(f"(e => e && e.offsetParent !== null ? e.innerText : '')(document.querySelector('{selector}'))")

    def shot(self, folder, name):  # a screenshot of the page, as PNG
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name + ".png"), "wb") as out:
            out.write(base64.b64decode(self.call("Page.captureScreenshot", format="png")["data"]))

    def records(self):
        return self.js("online.game.records")

    def rests(self):
        return self.js("online.game.rests")

    def script(self):
        return self.js("online.game.script('exported by the browser test')")


def player(browser, url, speed):
    """The online page at url as a player sees it, at speed passes per display frame at most."""
    page = browser.page()
    page.__class__ = Player
    page.goto(url.replace("online.html", f"online.html?speed={speed}", 1))
    return page


def create(browser, base, speed, seats, players=None, sense=None):
    """The lobby's form filled in and sent; the page and the invite links it shows."""
    host = player(browser, base + "online.html", speed)
    host.wait("online.state == 'connected'", 20)
    field = "document.getElementById('%s').value = '%s';"
    host.js((field % ("players", players) + "document.getElementById('players').onchange();" if players else "")
            + (field % ("sense", sense) if sense else "")
            + "".join(field % (f"seat{i + 1}", c) for i, c in enumerate(seats))
            + "document.getElementById('create-button').click()")
    host.wait("online.room && online.state == 'connected' && document.querySelectorAll('#invites input').length =="
              f" {seats.count('friend') + 1}", 20)  # and the watch link
    return host, host.js("[...document.querySelectorAll('#invites input')].map(i => i.value)")


def start_game(host, pages):  # the host's Start, and every page in the game
    host.wait("!document.getElementById('start').disabled", 20)
    host.js("document.getElementById('start').click()")
    for page in pages:
        page.wait("online.game.begun", 60)


def rests_of(trace_lines):  # [pass, board] each time the board comes to rest, as the page records it
    rests, resting = [], False
    for line in trace_lines:
        if not line.startswith("T "):
            continue
        _, frame, rest = line.rstrip("\n").split(" ", 2)
        now = rest.startswith("-1 ")
        if now and not resting:
            rests.append([int(frame), rest[3:]])
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
                player.click_cell(*player.choose(s["board"], s["turn"]["current"], rng,
                                                  s["turn"]["current"] not in meek))
                player.wait(f"online.lastN > {s['lastN']}", 30)
                moves += 1
                break
        else:
            time.sleep(0.02)
    return moves
