#!/usr/bin/env python3
"""F in a real window under a real window manager (openbox on an Xvfb screen
of 1280 x 1024): the whole picture shows on the screen, centred, either as
it is (classic SDL 1.2 cannot change Xvfb's one video mode) or scaled up with
square pixels (sdl12-compat); a click lands on the node under the pointer;
F again gives back the 800 x 600 window. Screenshots go to SHOTS.

    fullscreen.py OUTPUT_DIR SHOTS LABEL
"""
import os
import re
import subprocess
import sys
import time

CAPTION = "Spindrel-C by Tamwick 2005"
SCREEN = (1280, 1024)
WINDOW = (800, 600)
ORIGIN, CELL = (212, 12), 24  # the board's top-left corner and its cells, in window pixels
out_dir, shots, label = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
failures, started = [], []


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + f"{label}: {what}")
    failures.extend([] if ok else [what])


def run(*args):
    return subprocess.run([str(a) for a in args], capture_output=True).stdout.decode()


def wait_for(condition, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline and not condition():
        time.sleep(0.2)
    return condition()


def geometry(window):
    info = run("xwininfo", "-id", window)
    field = lambda key: int(re.search(key + r":\s+(-?\d+)", info)[1])
    return field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height")


def picture(name):
    """The screen as a PNG in SHOTS, and the box of the game's picture on it:
    everything that is not the black around it (x, y, width, height)."""
    path = os.path.join(shots, f"fullscreen-{label}-{name}.png")
    run("import", "-window", "root", path)
    box = run("convert", path, "-fuzz", "1%", "-trim", "info:")
    w, h, x, y = map(int, re.search(r" (\d+)x(\d+) \d+x\d+\+(\d+)\+(\d+)", box).groups())
    return x, y, w, h


def main():
    read_end, write_end = os.pipe()
    started.append(subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp",
                                     "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24"], pass_fds=(write_end,),
                                    stderr=subprocess.DEVNULL))
    os.close(write_end)
    os.environ["DISPLAY"] = ":" + os.read(read_end, 16).decode().strip()
    if not os.environ.get("NO_WINDOW_MANAGER"):  # set, it shows what F does without one
        started.append(subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    time.sleep(1)
    log = open(os.path.join(shots, f"fullscreen-{label}.stdout"), "w+")
    env = dict(os.environ, SDL_AUDIODRIVER="dummy")
    env.pop("SDL_VIDEODRIVER", None)
    game = subprocess.Popen([os.path.join(out_dir, "CSpindrel")], cwd=out_dir, env=env, stdout=log)
    started.append(game)
    windows = lambda: run("xdotool", "search", "--name", f"^{CAPTION}$").split()
    window = wait_for(windows, 30)[0]
    time.sleep(1)
    at = geometry(window)
    check(at[2:] == WINDOW, f"a window of {WINDOW} before F, at {at}")
    run("xdotool", "mousemove", at[0] + 100, at[1] + 420, "click", "1")  # New Game: blue against red

    run("xdotool", "key", "--window", window, "f")
    box = []

    def settled():  # the library may take a few frames to switch
        box[:] = picture("full")
        x, y, w, h = box
        scale = w / WINDOW[0]
        centred = abs(2 * x + w - SCREEN[0]) <= 2 and abs(2 * y + h - SCREEN[1]) <= 2
        return centred and abs(h - WINDOW[1] * scale) <= 2 and (scale == 1 or w == SCREEN[0] or h == SCREEN[1])
    whole = wait_for(settled, 20)
    x, y, w, h = box
    scale = w / WINDOW[0]
    check(whole, f"F shows the whole picture, centred: {w} x {h} at ({x}, {y}), scale {scale:.2f}")
    # Blue's corner node, under the pointer, once blue has the turn.
    node = (x + round((ORIGIN[0] + CELL // 2) * scale), y + round((ORIGIN[1] + CELL // 2) * scale))
    def click_node():
        run("xdotool", "mousemove", *node, "click", "1")
        log.seek(0)
        return "mouse clicked on grid 0 0" in log.read()
    clicked = wait_for(click_node, 20)
    check(clicked, f"a click at {node} in full screen lands on node (0, 0)")
    log.seek(0)
    screen_lines = [line for line in log.read().splitlines() if line.startswith("mouse clicked on screen")]
    print(f"{label}: the game saw {screen_lines[-1] if screen_lines else 'no click'}")

    run("xdotool", "key", "--window", window, "f")
    time.sleep(2)
    back = geometry(window)
    x, y, w, h = picture("back")
    check(back[2:] == WINDOW and (w, h) != SCREEN, f"F again gives back the window: {back}, picture {w} x {h}")
    run("xdotool", "key", "--window", window, "Escape")
    check(game.wait(timeout=15) == 0, "Escape ends the game")


try:
    main()
except Exception as error:  # a window that never came, a tool that failed
    check(False, f"{type(error).__name__}: {error}")
finally:
    for proc in reversed(started):
        if proc.poll() is None:
            proc.kill()
            proc.wait()
print(f"{len(failures)} failure(s)" if failures else "all passed")
sys.exit(1 if failures else 0)
