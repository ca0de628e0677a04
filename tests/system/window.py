#!/usr/bin/env python3
"""The four programs in real windows on an Xvfb server, driven by xdotool as
a player would: the caption and size of every window, the hidden system
cursor, a move of blue's after New Game, Escape, and the window manager's
close request. Every program started here is killed when the test ends.

    window.py OUTPUT_DIR SOURCE_DIR BUILD_DIR
"""
import ctypes
import ctypes.util
import os
import subprocess
import sys
import tempfile
import time

CAPTION = "Spindrel-C by Tamwick 2005"
SIZES = {"CSpindrel": (800, 600), "CSpindrel-r1": (800, 600),
         "CSpindrel-r2": (640, 480), "CSpindrel-r3": (640, 480)}
out_dir = os.path.abspath(sys.argv[1])
failures = []
started = []


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what)
    if not ok:
        failures.append(what)
    return ok


def run(*args):
    return subprocess.run([str(a) for a in args], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True).stdout


def wait_for(condition, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(0.1)
    return None


class XFixesCursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                ("height", ctypes.c_ushort), ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


class XClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


def x_calls():
    """The Xlib calls no command-line tool makes: the cursor image, and the
    close request a window manager sends."""
    xlib = ctypes.CDLL(ctypes.util.find_library("X11"))
    xfixes = ctypes.CDLL(ctypes.util.find_library("Xfixes"))
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.c_void_p]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(XFixesCursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
    display = xlib.XOpenDisplay(os.environ["DISPLAY"].encode())

    def cursor_pixels():
        c = xfixes.XFixesGetCursorImage(display).contents
        return sum(1 for i in range(c.width * c.height) if c.pixels[i] >> 24)

    def close(window):
        event = XClientMessage(type=33, window=window, format=32)  # ClientMessage
        event.message_type = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.data[0] = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        xlib.XSendEvent(display, window, 0, 0, ctypes.byref(event))
        xlib.XFlush(display)
    return cursor_pixels, close


class Game:
    def __init__(self, name):
        self.name, self.log = name, tempfile.TemporaryFile()
        env = dict(os.environ, SDL_AUDIODRIVER="dummy")
        env.pop("SDL_VIDEODRIVER", None)
        self.proc = subprocess.Popen([os.path.join(out_dir, name)], cwd=out_dir, env=env,
                                     stdout=self.log, stderr=subprocess.DEVNULL)
        started.append(self.proc)
        found = wait_for(lambda: run("xdotool", "search", "--name", f"^{CAPTION}$").split(), 20)
        self.window = int(found[0]) if found else None
        info = run("xwininfo", "-id", self.window) if found else ""
        field = {k.strip(): v.strip() for k, _, v in
                 (line.partition(":") for line in info.splitlines()) if v}
        self.at = (int(field.get("Absolute upper-left X", 0)), int(field.get("Absolute upper-left Y", 0)))
        self.size = (int(field.get("Width", 0)), int(field.get("Height", 0)))
        check(self.size == SIZES[name] and f'"{CAPTION}"' in info,
              f"{name}: a {self.size} window captioned {CAPTION!r}")

    def click(self, x, y):
        run("xdotool", "mousemove", self.at[0] + x, self.at[1] + y, "click", "1")

    def cell(self, x, y):
        """The window's 24 x 24 pixels at (x, y), as the X server shows them."""
        return subprocess.run(["import", "-window", "root", "-crop",
                               f"24x24+{self.at[0] + x}+{self.at[1] + y}", "ppm:-"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout

    def output(self):
        self.log.seek(0)
        return self.log.read().decode(errors="replace")

    def ends(self, what):
        try:
            code = self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            code = "still running"
        lines = self.output().splitlines()
        check(code == 0 and (self.name != "CSpindrel" or lines[-1:] == ["Nodes freed"]),
              f"{self.name}: {what} ends it with exit code {code}, last line {lines[-1:]}")


def main():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp",
                             "-screen", "0", "1024x768x24"], pass_fds=(write_end,),
                            stderr=subprocess.DEVNULL)
    started.append(xvfb)
    os.close(write_end)
    os.environ["DISPLAY"] = ":" + os.read(read_end, 16).decode().strip()
    cursor_pixels, close = x_calls()

    game = Game("CSpindrel")
    game.click(100, 420)  # New Game: blue, a human, against a red computer
    check(wait_for(lambda: cursor_pixels() == 0, 5), "the system cursor is hidden over the window")
    # Blue's corner node (0, 0) answers a click once it is blue's turn and the
    # board has come to rest; until then the game ignores the clicks.
    before = game.cell(212, 12)
    accepted = wait_for(lambda: game.click(224, 24) or "mouse clicked on grid 0 0" in game.output(), 20)
    changed = wait_for(lambda: game.cell(212, 12) != before, 5)
    check(accepted and changed, "blue's click on its corner node turns it on screen")
    run("xdotool", "key", "--window", game.window, "Escape")
    game.ends("Escape")

    for name in ("CSpindrel-r1", "CSpindrel-r2", "CSpindrel-r3"):
        game = Game(name)
        if name == "CSpindrel-r2":
            close(game.window)
            game.ends("the window manager's close request")
        else:
            run("xdotool", "key", "--window", game.window, "Escape")
            game.ends("Escape")
    check(all(g.poll() is not None for g in started[1:]), "no program is left running")


try:
    main()
finally:
    for proc in reversed(started):
        if proc.poll() is None:
            proc.kill()
            proc.wait()
print(f"{len(failures)} failure(s)" if failures else "all passed")
sys.exit(1 if failures else 0)
