#!/usr/bin/env python3
"""The real programs in a real X window (Xvfb), driven with xdotool.

Used by the window_*.sh tests:
    window_check.py SCENARIO OUTPUT_DIR [SHOT_DIR]
SCENARIO is one of: game, close, play, revisions.

The screen is read back with ImageMagick's `import` and compared with the
sheet files themselves (font.bmp, ui.bmp, nodes.bmp from OUTPUT_DIR), so the
checks hold whatever the artwork looks like: a line of text "shows" when
every ink pixel of its glyphs, placed 7 pixels apart, is on screen; a node
shows an owner or an arrow when the ink of that body or arrow is there.
"""

import ctypes
import ctypes.util
import os
import select
import subprocess
import sys
import tempfile
import time
import traceback

CAPTION = "Spindrel-C by Tamwick 2005"
SCREEN = (1024, 768)

# Per program: window size, board origin and size, frame-rate line shown.
PROGRAMS = {
    "CSpindrel": dict(size=(800, 600), origin=(212, 12), n=24, fps=True),
    "CSpindrel-r1": dict(size=(800, 600), origin=(212, 12), n=24, fps=False),
    "CSpindrel-r2": dict(size=(640, 480), origin=(260, 70), n=14, fps=False),
    "CSpindrel-r3": dict(size=(640, 480), origin=(204, 24), n=18, fps=False),
}

OWNERS = ["nobody", "blue", "red", "green", "yellow"]


# --- Pictures -----------------------------------------------------------------


class Picture:
    """RGB pixels as 0xRRGGBB integers, read from a binary PPM."""

    def __init__(self, ppm):
        tokens = []
        pos = 0
        while len(tokens) < 4:
            while ppm[pos : pos + 1].isspace():
                pos += 1
            if ppm[pos : pos + 1] == b"#":
                pos = ppm.index(b"\n", pos) + 1
                continue
            end = pos
            while not ppm[end : end + 1].isspace():
                end += 1
            tokens.append(ppm[pos:end])
            pos = end
        if tokens[0] != b"P6" or tokens[3] != b"255":
            raise ValueError("not an 8-bit binary PPM")
        self.width, self.height = int(tokens[1]), int(tokens[2])
        self.ppm = ppm
        self.data = ppm[pos + 1 :]

    def contains(self, x, y):
        return 0 <= x < self.width and 0 <= y < self.height

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        d = self.data
        return d[i] << 16 | d[i + 1] << 8 | d[i + 2]

    def region(self, x0, y0, width, height):
        """The raw bytes of a rectangle, for comparing two pictures."""
        return b"".join(
            self.data[3 * (y * self.width + x0) : 3 * (y * self.width + x0 + width)]
            for y in range(y0, y0 + height)
        )

    def save_png(self, path, x, y, width, height):
        subprocess.run(
            ["convert", "ppm:-", "-crop", f"{width}x{height}+{x}+{y}", "+repage", path],
            input=self.ppm,
            check=True,
        )


def read_picture(path):
    ppm = subprocess.run(
        ["convert", path, "-depth", "8", "ppm:-"], check=True, stdout=subprocess.PIPE
    ).stdout
    return Picture(ppm)


def screenshot():
    ppm = subprocess.run(
        ["import", "-window", "root", "-depth", "8", "ppm:-"],
        check=True,
        stdout=subprocess.PIPE,
    ).stdout
    return Picture(ppm)


class Sheets:
    """The three sheet files and what their pictures put on screen."""

    def __init__(self, out_dir):
        self.ui = read_picture(os.path.join(out_dir, "ui.bmp"))
        self.nodes = read_picture(os.path.join(out_dir, "nodes.bmp"))
        self.font = read_picture(os.path.join(out_dir, "font.bmp"))

    @staticmethod
    def ink(sheet, sx, sy, width, height, x, y, into=None):
        """The non-key pixels of a rectangle, placed with its corner at x, y."""
        key = sheet.at(0, 0)
        ink = {} if into is None else into
        for dy in range(height):
            for dx in range(width):
                if sheet.contains(sx + dx, sy + dy):
                    colour = sheet.at(sx + dx, sy + dy)
                    if colour != key:
                        ink[(x + dx, y + dy)] = colour
        return ink

    def text(self, x, y, text):
        ink = {}
        for i, ch in enumerate(text.encode("latin-1")):
            if ch < 128:
                self.ink(self.font, 16 * (ch % 16) + 1, 16 * (ch // 16) + 1, 15, 15,
                         x + 7 * i, y, ink)
        return ink

    def centred(self, x, y, text):
        return self.text(x - 7 * len(text) // 2, y, text)

    def body(self, owner, x, y):
        return self.ink(self.nodes, 25 * owner, 0, 23, 23, x, y)

    def arrow(self, direction, x, y):
        return self.ink(self.nodes, 125 + 25 * direction, 0, 23, 23, x, y)

    def pointer(self, x, y):
        return self.ink(self.ui, 0, 31, 23, 22, x, y)

    def marks(self, x, y):
        ink = self.ink(self.nodes, 275, 0, 25, 25, x, y)
        return self.ink(self.nodes, 300, 0, 25, 25, x, y, ink)


def shows(shot, ink, offset, skip=()):
    """Whether every ink pixel (window coordinates) is on screen as drawn."""
    ox, oy = offset
    seen = 0
    for (x, y), colour in ink.items():
        if (x, y) in skip or not shot.contains(x + ox, y + oy):
            continue
        if shot.at(x + ox, y + oy) != colour:
            return False
        seen += 1
    return seen > 0


class Window:
    """What the game's window shows, read from one screenshot."""

    def __init__(self, sheets, shot, offset, origin, pointer=None):
        self.sheets, self.shot, self.offset, self.origin = sheets, shot, offset, origin
        # Pixels under the drawn pointer are not the node's.
        self.skip = set(sheets.pointer(*pointer).keys()) if pointer else set()

    def shows_text(self, x, y, text, centred=False):
        ink = self.sheets.centred(x, y, text) if centred else self.sheets.text(x, y, text)
        return shows(self.shot, ink, self.offset, self.skip)

    def status_is(self, text):
        return self.shows_text(100, 8, text, centred=True)

    def cell(self, column, row):
        return self.origin[0] + 24 * column, self.origin[1] + 24 * row

    def arrow(self, column, row):
        """The arrow a node shows, or None when no single arrow matches."""
        x, y = self.cell(column, row)
        found = [d for d in range(4)
                 if shows(self.shot, self.sheets.arrow(d, x, y), self.offset, self.skip)]
        return found[0] if len(found) == 1 else None

    def owner(self, column, row):
        """The body a node shows, judged by the body pixels that no arrow or
        mark covers (nor a neighbour's mark reaching into the first column
        and row), or None."""
        x, y = self.cell(column, row)
        covered = set(self.skip)
        for d in range(4):
            covered.update(self.sheets.arrow(d, x, y).keys())
        covered.update(self.sheets.marks(x, y).keys())
        covered.update((x + i, y) for i in range(23))
        covered.update((x, y + i) for i in range(23))
        found = [o for o in range(5)
                 if shows(self.shot, self.sheets.body(o, x, y), self.offset, covered)]
        return found[0] if len(found) == 1 else None


# --- X server, window and program -----------------------------------------------


def start_xvfb():
    """A fresh Xvfb on a display number it chooses itself; servers starting
    at the same moment can race for a number, so a failed start is retried."""
    for attempt in range(3):
        try:
            return start_xvfb_once()
        except RuntimeError:
            if attempt == 2:
                raise
            time.sleep(1)


def start_xvfb_once():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
         f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    deadline = time.time() + 20
    while not number.endswith(b"\n") and time.time() < deadline:
        ready, _, _ = select.select([read_end], [], [], 1)
        if ready:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
    os.close(read_end)
    if not number.strip():
        xvfb.kill()
        xvfb.wait()
        raise RuntimeError("Xvfb did not start")
    os.environ["DISPLAY"] = ":" + number.decode().strip()
    return xvfb


class XFixesCursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
                ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong),
                ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


class XClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                ("pad", ctypes.c_long * 12)]  # an XEvent is 24 longs


class X:
    """The few Xlib calls that no command-line tool makes."""

    def __init__(self):
        self.xlib = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.xfixes = ctypes.CDLL(ctypes.util.find_library("Xfixes"))
        self.xlib.XOpenDisplay.restype = ctypes.c_void_p
        self.xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.xlib.XInternAtom.restype = ctypes.c_ulong
        self.xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                         ctypes.c_long, ctypes.c_void_p]
        self.xlib.XFlush.argtypes = [ctypes.c_void_p]
        self.xlib.XFree.argtypes = [ctypes.c_void_p]
        self.xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(XFixesCursorImage)
        self.xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
        self.display = self.xlib.XOpenDisplay(os.environ["DISPLAY"].encode())
        if not self.display:
            raise RuntimeError("cannot open the X display")

    def cursor_opaque_pixels(self):
        """Opaque pixels of the cursor the server shows now."""
        image = self.xfixes.XFixesGetCursorImage(self.display)
        if not image:
            raise RuntimeError("XFixesGetCursorImage failed")
        c = image.contents
        opaque = sum(1 for i in range(c.width * c.height) if (c.pixels[i] >> 24) & 0xFF)
        self.xlib.XFree(image)
        return opaque

    def request_close(self, window):
        """What a window manager sends when the close button is pressed."""
        event = XClientMessage()
        event.type = 33  # ClientMessage
        event.window = window
        event.message_type = self.xlib.XInternAtom(self.display, b"WM_PROTOCOLS", 0)
        event.format = 32
        event.data[0] = self.xlib.XInternAtom(self.display, b"WM_DELETE_WINDOW", 0)
        event.data[1] = 0  # CurrentTime
        self.xlib.XSendEvent(self.display, window, 0, 0, ctypes.byref(event))
        self.xlib.XFlush(self.display)


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], check=True,
                          stdout=subprocess.PIPE, text=True).stdout


def wait_for(what, condition, timeout, interval=0.1):
    """Polls condition() until it returns something true; None on timeout."""
    deadline = time.time() + timeout
    while True:
        result = condition()
        if result or time.time() > deadline:
            return result or None
        time.sleep(interval)


class Program:
    def __init__(self, name, out_dir, sheets):
        self.name, self.sheets = name, sheets
        self.settings = PROGRAMS[name]
        env = dict(os.environ)
        env.pop("SDL_VIDEODRIVER", None)
        env["SDL_AUDIODRIVER"] = "dummy"
        self.stdout = tempfile.TemporaryFile()
        self.stderr = tempfile.TemporaryFile()
        self.proc = subprocess.Popen([os.path.join(out_dir, name)], cwd=out_dir, env=env,
                                     stdout=self.stdout, stderr=self.stderr)
        self.window = None
        self.offset = (0, 0)
        self.size = None
        self.pointer = None

    def find_window(self, timeout=30):
        def search():
            if self.proc.poll() is not None:
                return "ended"
            found = subprocess.run(["xdotool", "search", "--name", f"^{CAPTION}$"],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                   text=True).stdout.split()
            return found[0] if found else None
        wid = wait_for("window", search, timeout)
        if not wid or wid == "ended":
            self.stderr.seek(0)
            self.stdout.seek(0)
            print(f"{self.name} (exit code {self.proc.poll()}) printed:",
                  self.stdout.read().decode(errors="replace"),
                  self.stderr.read().decode(errors="replace")[-2000:], sep="\n")
            return False
        self.window = int(wid)
        info = subprocess.run(["xwininfo", "-id", wid], check=True, stdout=subprocess.PIPE,
                              text=True).stdout
        fields = {}
        for line in info.splitlines():
            if ":" in line:
                key, _, value = line.strip().partition(":")
                fields[key.strip()] = value.strip()
        self.size = (int(fields["Width"]), int(fields["Height"]))
        self.offset = (int(fields["Absolute upper-left X"]),
                       int(fields["Absolute upper-left Y"]))
        self.title = info.split('"')[1] if '"' in info else ""
        return True

    def look(self):
        return Window(self.sheets, screenshot(), self.offset, self.settings["origin"],
                      self.pointer)

    def wait_first_frame(self, timeout=20):
        return wait_for("first frame",
                        lambda: self.look().shows_text(100, 412, "New Game", centred=True),
                        timeout)

    def move(self, x, y):
        """Moves the mouse to a window point; the pointer sprite follows."""
        self.pointer = (x, y)
        xdotool("mousemove", self.offset[0] + x, self.offset[1] + y)

    def click(self):
        xdotool("click", "1")

    def key(self, name):
        xdotool("key", name)

    def finish(self, timeout=15):
        """Exit code and standard output lines, once the program has ended."""
        try:
            code = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            code = "still running"
        self.stdout.seek(0)
        return code, self.stdout.read().decode(errors="replace").splitlines()

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


# --- Checks and scenarios ---------------------------------------------------------


class Report:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, ok, what):
        if ok:
            self.passed += 1
            print(f"ok: {what}")
        else:
            self.failed += 1
            print(f"FAIL: {what}")
        return ok


def start(report, name, out_dir, sheets):
    program = Program(name, out_dir, sheets)
    if not report.check(program.find_window(), f"{name}: its window opens"):
        return None
    w, h = program.settings["size"]
    report.check(program.title == CAPTION, f"{name}: window titled {CAPTION!r} ({program.title!r})")
    report.check(program.size == (w, h), f"{name}: window is {w} x {h} ({program.size})")
    # The pointer over the window, so that key presses reach it.
    program.move(w // 2, h - 30)
    report.check(program.wait_first_frame(), f"{name}: the panel is drawn")
    return program


def quit_and_check(report, program, how, expect_lines):
    if how == "Escape":
        program.key("Escape")
    else:
        X().request_close(program.window)
    code, lines = program.finish()
    name = program.name
    report.check(code == 0, f"{name}: {how} ends the program with exit code 0 ({code})")
    if expect_lines:
        report.check(lines[:1] == ["Program Started"], f"{name}: prints Program Started first")
        report.check(lines[-1:] == ["Nodes freed"], f"{name}: Nodes freed is the last line")
    else:
        report.check(lines == [], f"{name}: prints nothing ({lines[:3]})")


def scenario_game(report, out_dir, sheets, shot_dir):
    """CSpindrel opens its window, draws the panel and board, hides the system
    cursor under its own pointer, and quits on Escape."""
    program = start(report, "CSpindrel", out_dir, sheets)
    if not program:
        return
    try:
        view = program.look()
        report.check(view.shows_text(212, 585, "FPS:"), "CSpindrel: frame rate under the board")
        for k, (first, second) in enumerate([("Two Players", "Direction: CCW"),
                                             ("Human Player", "AI Mode: NORMAL"),
                                             ("Computer player", "AI Mode: NORMAL"),
                                             ("Computer player", "AI Mode: NORMAL"),
                                             ("Computer player", "AI Mode: NORMAL")]):
            report.check(view.shows_text(116, 195 + 43 * k, first, centred=True)
                         and view.shows_text(116, 215 + 43 * k, second, centred=True),
                         f"CSpindrel: settings {first} / {second}")
        corners = [view.owner(0, 0), view.owner(23, 23), view.owner(0, 23), view.owner(23, 0)]
        report.check(None not in corners, f"CSpindrel: the corner nodes show bodies ({corners})")

        # The system cursor: visible over the bare root window, blank over
        # ours, where only the pointer sprite shows the mouse.
        x = X()
        program.pointer = None
        xdotool("mousemove", SCREEN[0] - 20, SCREEN[1] - 20)
        outside = wait_for("cursor outside", lambda: x.cursor_opaque_pixels() > 0, 5)
        report.check(outside, "the root window shows a visible cursor (control)")
        program.move(400, 300)
        sprite = wait_for("pointer sprite",
                          lambda: shows(screenshot(), sheets.pointer(400, 300), program.offset), 5)
        report.check(sprite, "CSpindrel: the pointer sprite follows the mouse")
        report.check(x.cursor_opaque_pixels() == 0, "CSpindrel: the system cursor is hidden")
        if shot_dir:
            program.look().shot.save_png(os.path.join(shot_dir, "window_game.png"),
                                         *program.offset, *program.size)
        quit_and_check(report, program, "Escape", True)
    finally:
        program.kill()


def scenario_close(report, out_dir, sheets, shot_dir):
    """The window's close request ends every program cleanly."""
    for name in PROGRAMS:
        program = start(report, name, out_dir, sheets)
        if program:
            try:
                quit_and_check(report, program, "close request", PROGRAMS[name]["fps"])
            finally:
                program.kill()


def scenario_revisions(report, out_dir, sheets, shot_dir):
    """Each earlier revision: its window, its board where it belongs, no
    frame rate, Escape, and not a line on standard output."""
    for name in ("CSpindrel-r1", "CSpindrel-r2", "CSpindrel-r3"):
        program = start(report, name, out_dir, sheets)
        if not program:
            continue
        try:
            last = program.settings["n"] - 1
            view = program.look()
            corners = [view.owner(0, 0), view.owner(last, last), view.owner(0, last),
                       view.owner(last, 0)]
            report.check(None not in corners,
                         f"{name}: the corner nodes show bodies at its origin ({corners})")
            report.check(not view.shows_text(212, 585, "FPS:"), f"{name}: no frame rate")
            if shot_dir:
                view.shot.save_png(os.path.join(shot_dir, f"window_{name}.png"),
                                   *program.offset, *program.size)
            quit_and_check(report, program, "Escape", False)
        finally:
            program.kill()


def scenario_play(report, out_dir, sheets, shot_dir):
    """New Game, then a move of blue's: the clicked node's arrow turns a
    quarter turn counter-clockwise (the default setting) and the status
    line leaves BLUE'S TURN."""
    program = start(report, "CSpindrel", out_dir, sheets)
    if not program:
        return
    try:
        # A motion after the press in the same frame would move the click, so
        # the pointer leaves the button only some frames later.
        program.move(100, 425)
        time.sleep(0.1)
        program.click()
        time.sleep(0.3)
        program.move(100, 560)

        # Blue is a human after New Game: the board comes to rest on blue's
        # turn and stays there. Two players: nothing green or yellow.
        # The board's bodies down to the row above the frame-rate line.
        board = (program.offset[0] + 212, program.offset[1] + 12, 576, 572)

        def blue_waits():
            first = program.look()
            if not (first.status_is("BLUE'S TURN") and first.shows_text(37, 112, "  0 NODES")
                    and first.shows_text(37, 133, "  0 NODES")):
                return None
            time.sleep(0.4)
            second = program.look()
            if not second.status_is("BLUE'S TURN"):
                return None
            at_rest = first.shot.region(*board) == second.shot.region(*board)
            return second if at_rest else None

        before = wait_for("blue's turn", blue_waits, 30)
        if not report.check(before, "CSpindrel: New Game comes to rest on BLUE'S TURN"):
            return

        # One of blue's nodes with a readable arrow, the corner first.
        choice = None
        for column in range(24):
            for row in range(24):
                if before.owner(column, row) == 1 and before.arrow(column, row) is not None:
                    choice = (column, row)
                    break
            if choice:
                break
        if not report.check(choice, "CSpindrel: blue owns a node"):
            return
        column, row = choice
        x, y = before.cell(column, row)
        # Click near the cell's bottom-right corner: the pointer sprite then
        # covers the neighbours, not this node's arrow.
        program.move(x + 22, y + 22)
        before = wait_for("pointer parked",
                          lambda: (lambda v: v if v.status_is("BLUE'S TURN")
                                   and shows(v.shot, sheets.pointer(x + 22, y + 22),
                                             program.offset) else None)(program.look()), 5)
        if not report.check(before, "CSpindrel: pointer parked on the node"):
            return
        arrow_before = before.arrow(column, row)
        counters = (program.offset[0], program.offset[1] + 154, 200, 15)
        program.click()

        status_seen = []

        def moved():
            view = program.look()
            for text in ("BUSY", "RED'S TURN", "BLUE PLAYER WON!!!", "RED PLAYER WON!!!"):
                if view.status_is(text):
                    status_seen.append(text)
            changed = view.shot.region(*counters) != before.shot.region(*counters)
            return view if changed and status_seen else None

        after = wait_for("the move", moved, 15, interval=0.02)
        report.check(status_seen, f"CSpindrel: the status line changed ({status_seen[:1]})")
        if not report.check(after, "CSpindrel: the move ended (the counters changed)"):
            return
        # Readable again once no mark covers it (a capture by red leaves the
        # direction alone).
        found = wait_for("arrow", lambda: (lambda a: (a,) if a is not None else None)(
            program.look().arrow(column, row)), 5)
        arrow_after = found[0] if found else None
        expected = (arrow_before + 1) % 4
        report.check(arrow_after == expected,
                     f"CSpindrel: node ({column}, {row}) now shows arrow {expected} "
                     f"(was {arrow_before}, shows {arrow_after})")
        if shot_dir:
            before.shot.save_png(os.path.join(shot_dir, "play_before.png"), *program.offset,
                                 *program.size)
            after.shot.save_png(os.path.join(shot_dir, "play_after.png"), *program.offset,
                                *program.size)
        program.move(400, 300)
        quit_and_check(report, program, "Escape", True)
        code, lines = program.finish(1)
        report.check(f"mouse clicked on grid {column} {row}" in lines,
                     f"CSpindrel: the click reached node ({column}, {row})")
    finally:
        program.kill()


SCENARIOS = {"game": scenario_game, "close": scenario_close, "play": scenario_play,
             "revisions": scenario_revisions}


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in SCENARIOS:
        print(__doc__)
        return 2
    scenario, out_dir = sys.argv[1], os.path.abspath(sys.argv[2])
    shot_dir = sys.argv[3] if len(sys.argv) > 3 else None
    if shot_dir:
        os.makedirs(shot_dir, exist_ok=True)
    sheets = Sheets(out_dir)
    report = Report()
    xvfb = start_xvfb()
    try:
        SCENARIOS[scenario](report, out_dir, sheets, shot_dir)
    except Exception as error:  # a broken step counts as a failure, not a crash
        traceback.print_exc(file=sys.stdout)
        report.check(False, f"{scenario}: {type(error).__name__}: {error}")
    finally:
        xvfb.terminate()
        xvfb.wait()
    print(f"{report.passed} passed, {report.failed} failed")
    return 0 if report.failed == 0 and report.passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
