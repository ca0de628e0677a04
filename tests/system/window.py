#!/usr/bin/env python3
"""The four programs in real windows on an Xvfb server, driven by xdotool as
a player would: the caption and size of every window, the hidden system
cursor, a move of blue's after New Game, Escape, and the window manager's
close request. Every program started here is killed when the test ends.

    window.py OUTPUT_DIR SOURCE_DIR BUILD_DIR
"""
import ctypes, os, re, shlex, subprocess, sys, tempfile, time

FACTS = dict(line.split("=", 1) for line in shlex.split(open(os.path.join(sys.argv[3], "facts.sh")).read()))
CAPTION = FACTS["caption"]
REVISIONS = ("current", "r1", "r2", "r3")
SIZES = {FACTS[f"{r}_program"]: (int(FACTS[f"{r}_window_width"]), int(FACTS[f"{r}_window_height"])) for r in REVISIONS}
out_dir = os.path.abspath(sys.argv[1])
origin = [int(FACTS[f"current_board_origin_{axis}"]) for axis in "xy"]
failures, started = [], []


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what)
    failures.extend([] if ok else [what])


def run(*args):
    return subprocess.run([str(a) for a in args], capture_output=True).stdout


def wait_for(condition, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline and not condition():
        time.sleep(0.1)
    return condition()


class X:
    """The two things no command-line tool does: read the cursor image, and
    send the close request a window manager sends."""
    class Cursor(ctypes.Structure):
        _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                    ("height", ctypes.c_ushort), ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                    ("serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong))]

    def __init__(self):
        self.xlib, self.xfixes = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXfixes.so.3")
        self.xlib.XOpenDisplay.restype = self.xlib.XInternAtom.restype = ctypes.c_void_p
        self.xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        self.xlib.XFlush.argtypes = self.xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
        self.xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(X.Cursor)
        self.display = self.xlib.XOpenDisplay(os.environ["DISPLAY"].encode())

    def cursor_pixels(self):
        c = self.xfixes.XFixesGetCursorImage(self.display).contents
        return sum(1 for i in range(c.width * c.height) if c.pixels[i] >> 24)

    def close(self, window):
        # A ClientMessage event as 24 longs: type, serial, send_event, display,
        # window, message_type, format, then the data.
        event = (ctypes.c_long * 24)(33)
        atom = lambda name: self.xlib.XInternAtom(self.display, name, 0)
        event[4], event[5], event[6], event[7] = window, atom(b"WM_PROTOCOLS"), 32, atom(b"WM_DELETE_WINDOW")
        self.xlib.XSendEvent(self.display, window, 0, 0, event)
        self.xlib.XFlush(self.display)


class Game:
    """A program in its window. The Windows tests start it another way and
    read its output from elsewhere (tests/windows/wine_test.py)."""
    def command(self):
        return [os.path.join(out_dir, self.name)], out_dir

    def __init__(self, name):
        self.name, self.log = name, tempfile.TemporaryFile()
        env = dict(os.environ, SDL_AUDIODRIVER="dummy")
        env.pop("SDL_VIDEODRIVER", None)
        windows = lambda: set(run("xdotool", "search", "--name", f"^{CAPTION}$").split())
        gone = windows()  # a window the server has yet to take down after its program ended
        command, folder = self.command()
        self.proc = subprocess.Popen(command, cwd=folder, env=env, stdout=self.log)
        started.append(self.proc)
        new = wait_for(lambda: windows() - gone, 20)
        if not new:
            raise RuntimeError(f"{name}: no window captioned {CAPTION!r} within 20 seconds")
        self.window = int(new.pop())
        info = run("xwininfo", "-id", self.window).decode()
        field = lambda key: int(re.search(key + r":\s+(-?\d+)", info)[1])
        self.at, size = (field("Absolute upper-left X"), field("Absolute upper-left Y")), (field("Width"), field("Height"))
        check(size == SIZES[name] and f'"{CAPTION}"' in info, f"{name}: a {size} window captioned {CAPTION!r}")

    def click(self, x, y):
        run("xdotool", "mousemove", self.at[0] + x, self.at[1] + y, "click", "1")

    def cell(self, x, y):  # the window's 24 x 24 pixels at (x, y) as the server shows them
        return run("import", "-window", "root", "-crop", f"24x24+{self.at[0] + x}+{self.at[1] + y}", "ppm:-")

    def output(self):
        self.log.seek(0)
        return self.log.read().decode()

    def ends(self, what):
        try:
            code = self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            code = "still running"
        # The game says it started, then only what it did with the clicks,
        # then that it freed the board; the earlier revisions say nothing.
        lines = self.output().splitlines()
        said = lines[:1] == ["Program Started"] and lines[-1:] == ["Nodes freed"] and \
            all(line.startswith("mouse clicked ") for line in lines[1:-1])
        check(code == 0 and (said if self.name == FACTS["current_program"] else lines == []),
              f"{self.name}: {what} ends it with exit code {code}, output {lines[:1]}...{lines[-1:]}")


def main(Game=Game):
    read_end, write_end = os.pipe()
    started.append(subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp",
                                     "-screen", "0", "1024x768x24"], pass_fds=(write_end,), stderr=subprocess.DEVNULL))
    os.close(write_end)
    os.environ["DISPLAY"] = ":" + os.read(read_end, 16).decode().strip()
    x = X()
    game = Game(FACTS["current_program"])
    game.click(100, 420)  # New Game: blue, a human, against a red computer
    check(wait_for(lambda: x.cursor_pixels() == 0, 5), "the system cursor is hidden over the window")
    # Blue's corner node answers a click once it is blue's turn and the board
    # rests; until then the game ignores the clicks.
    before = game.cell(*origin)
    accepted = wait_for(lambda: game.click(origin[0] + 12, origin[1] + 12) or
                        "mouse clicked on grid 0 0" in game.output(), 20)
    check(accepted and wait_for(lambda: game.cell(*origin) != before, 5), "blue's click turns its corner node on screen")
    for name in (FACTS[f"{r}_program"] for r in REVISIONS):
        game = game if name == FACTS["current_program"] else Game(name)
        closed = name == FACTS["r2_program"]  # as the window manager asks, the others by Escape
        x.close(game.window) if closed else run("xdotool", "key", "--window", game.window, "Escape")
        game.ends("the window manager's close request" if closed else "Escape")


def run_all(*steps):
    """Runs the steps in order, then kills every process still running."""
    try:
        for step in steps:
            step()
    except Exception as error:  # a window that never came, a tool that failed
        check(False, f"{type(error).__name__}: {error}")
    finally:
        for proc in reversed(started):
            if proc.poll() is None:
                proc.kill()
                proc.wait()
    print(f"{len(failures)} failure(s)" if failures else "all passed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    run_all(main)
