#!/usr/bin/env python3
"""The browser build in headless Chromium, against the desktop programs.

    web_test.py SITE BIN

SITE is the folder `make web` writes; BIN the native build's folder of
programs and data files. The site is served on 127.0.0.1 and driven over the
DevTools protocol. Checks:
  - every game page loads with its window caption as title, a canvas of its
    program's window size and the panel drawn exactly as the desktop draws it;
  - on cspindrel.html, New Game (two players, blue human) brings blue's turn
    on the status line, a click on a blue node turns it and fires it (with a
    sound), F toggles full screen and Esc stops the game and offers another;
  - every replay page prints, for every replay scenario, exactly the desktop
    replay tool's lines, then "replay: done", and leaves on its canvas the
    desktop tool's screenshot of the last frame, pixel for pixel.
"""

import glob
import os
import signal
import subprocess
import sys
import tempfile
import time
import traceback

import cdp

CAPTION = "Spindrel-C by Tamwick 2005"
BUILDS = {  # page suffix: window, board origin, board size
    "": dict(size=(800, 600), origin=(212, 12), n=24),
    "-r1": dict(size=(800, 600), origin=(212, 12), n=24),
    "-r2": dict(size=(640, 480), origin=(260, 70), n=14),
    "-r3": dict(size=(640, 480), origin=(204, 24), n=18),
}
CELL = 24
NODE = 23  # the node pictures are 23 pixels square, 25 apart in nodes.bmp
# Panel rows: the status line, and from the settings down the rows that do
# not change while a game runs.
STATUS = (0, 8, 200, 15)
# The frame-rate digits under the board depend on the clock, on the desktop
# too: they are left out when whole frames are compared.
FRAME_RATE_DIGITS = (240, 585, 60, 15)
COUNTERS = (0, 154, 200, 15)  # "T TURNS - M MOVES"
SETTINGS_TOP = 185
NEW_GAME = (100, 420)
BLUE = 1

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)
    return condition


def region(picture, x, y, width, height):
    """A rectangle of a picture, cut at its edges."""
    _, _, rows = picture
    x, y, width, height = max(x, 0), max(y, 0), width + min(x, 0), height + min(y, 0)
    return [row[x:x + width] for row in rows[y:y + height]]


def without_frame_rate(picture):
    width, height, rows = picture
    x0, y0, w, h = FRAME_RATE_DIGITS
    rows = [list(row) for row in rows]
    for y in range(y0, min(y0 + h, height)):
        for x in range(x0, min(x0 + w, width)):
            rows[y][x] = (0, 0, 0)
    return width, height, rows


def desktop_replay(bin_dir, tool, script_path, frames, scratch):
    """The desktop tool's lines for a script and its screenshot of the last
    frame, run in a folder of its own beside the sheets."""
    folder = tempfile.mkdtemp(dir=scratch)
    for sheet in ("font.bmp", "ui.bmp", "nodes.bmp"):
        os.symlink(os.path.join(bin_dir, sheet), os.path.join(folder, sheet))
    shot = os.path.join(folder, "last-frame.bmp")
    with open(script_path) as f:
        script = f.read()
    augmented = os.path.join(folder, "script")
    with open(augmented, "w") as f:
        f.write(script + f"\nat {frames} screenshot {shot}\n")
    run = subprocess.run([os.path.join(bin_dir, tool), augmented], cwd=folder, timeout=600,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if run.returncode != 0:
        raise RuntimeError(f"{tool} {script_path}: {run.stderr}")
    return run.stdout.splitlines(), cdp.read_bmp(shot)


def frames_of(script_path):
    with open(script_path) as f:
        for line in f:
            words = line.split()
            if words[:1] == ["frames"]:
                return int(words[1])
    raise ValueError(f"{script_path} names no frame count")


def canvas_rect(page):
    return page.evaluate("(r => [r.left, r.top])(document.getElementById('canvas')"
                         ".getBoundingClientRect())")


def mouse(page, kind, x, y):
    left, top = canvas_rect(page)
    params = dict(type=kind, x=left + x + 0.5, y=top + y + 0.5)
    if kind != "mouseMoved":
        params.update(button="left", clickCount=1)
    page.call("Input.dispatchMouseEvent", **params)


def click(page, x, y):
    mouse(page, "mouseMoved", x, y)
    mouse(page, "mousePressed", x, y)
    mouse(page, "mouseReleased", x, y)


def key(page, name, code):
    for kind in ("keyDown", "keyUp"):
        page.call("Input.dispatchKeyEvent", type=kind, key=name, code=name,
                  windowsVirtualKeyCode=code, nativeVirtualKeyCode=code)


def body_marker(bin_dir):
    """A spot of the node picture where every arrow is see-through, so a
    node's body shows there, and the body colours there by owner."""
    _, _, sheet = cdp.read_bmp(os.path.join(bin_dir, "nodes.bmp"))
    key_colour = sheet[0][0]
    for y in range(3, NODE - 3):
        for x in range(3, NODE - 3):
            if all(sheet[y][125 + 25 * d + x] == key_colour for d in range(4)):
                colours = [sheet[y][25 * owner + x] for owner in range(5)]
                if len(set(colours)) == 5:
                    return (x, y), colours
    raise RuntimeError("no spot shows every owner's body apart")


def load_game(browser, page, name, build):
    browser.navigate(page, name)
    width, height = BUILDS[build]["size"]
    page.wait_for(f"document.getElementById('canvas').width == {width} && "
                  f"document.getElementById('canvas').height == {height} && "
                  f"document.title == '{CAPTION}'", 60, f"{name} to start")
    # A few frames, so the panel has been drawn.
    page.wait_for("typeof Browser != 'undefined' && Browser.mainLoop.currentFrameNumber > 5",
                  60, f"{name} to draw frames")


def game_pages(browser, page, desktop_first_frames):
    for build, settings in BUILDS.items():
        name = f"cspindrel{build}.html"
        try:
            load_game(browser, page, name, build)
            picture = page.canvas()
            width, height = settings["size"]
            check(picture[:2] == (width, height), f"{name}: canvas {picture[:2]}")
            panel = (0, SETTINGS_TOP, 200, height - SETTINGS_TOP)
            check(region(picture, *panel) == region(desktop_first_frames[build], *panel),
                  f"{name}: the panel differs from the desktop's")
            check(page.evaluate("document.getElementById('keys').textContent").count("Esc") == 1,
                  f"{name}: no line on the keys")
        except Exception:
            check(False, f"{name}: {traceback.format_exc()}")


def play(browser, page, bin_dir, blue_turn_status):
    """New Game, a move by blue, then Esc, on cspindrel.html."""
    name = "cspindrel.html"
    settings = BUILDS[""]
    load_game(browser, page, name, "")
    page.wait_for("SDL.audios.filter(a => a && a.webAudio && a.webAudio.decodedBuffer)"
                  ".length == 2", 30, "both sounds to be decoded")
    before = region(page.canvas(), *STATUS)
    check(before != blue_turn_status, f"{name}: blue's turn before New Game")

    click(page, *NEW_GAME)
    deadline = time.time() + 120
    while region(page.canvas(), *STATUS) != blue_turn_status:
        if not check(time.time() < deadline, f"{name}: New Game never brought blue's turn"):
            return
        page.pump(0.5)

    # A blue node, found by its body colour.
    (mx, my), colours = body_marker(bin_dir)
    ox, oy = settings["origin"]
    picture = page.canvas()
    _, _, rows = picture
    cells = [(ox + CELL * c, oy + CELL * r) for c in range(settings["n"])
             for r in range(settings["n"])]
    blue = [(x, y) for x, y in cells if rows[y + my][x + mx] == colours[BLUE]]
    if not check(blue, f"{name}: no blue node on the board"):
        return
    x, y = blue[0]
    cell = (x - CELL, y - CELL, 3 * CELL, 3 * CELL)

    # The pointer is drawn too: it stands on the node before and after.
    mouse(page, "mouseMoved", x + 11, y + 11)
    page.pump(0.5)
    resting = region(page.canvas(), *cell)
    counters = region(page.canvas(), *COUNTERS)
    page.pump(0.5)
    check(region(page.canvas(), *cell) == resting, f"{name}: the board moves on blue's turn")
    page.evaluate("window.soundsStarted = 0; (play => SDL.playWebAudio = function (a) {"
                  " ++soundsStarted; return play.call(this, a); })(SDL.playWebAudio); true")
    click(page, x + 11, y + 11)
    page.pump(0.3)
    check(region(page.canvas(), *cell) != resting, f"{name}: a click on blue's node changed nothing")
    check(page.evaluate("soundsStarted") > 0, f"{name}: the firing made no sound")
    # The move ends when the cascade has settled: the move counter goes on.
    deadline = time.time() + 30
    while region(page.canvas(), *COUNTERS) == counters:
        if not check(time.time() < deadline, f"{name}: blue's move never ended"):
            break
        page.pump(0.5)

    # F: the page in full screen, the picture scaled, the game's size kept;
    # F again: back.
    key(page, "f", 70)
    page.wait_for("document.fullscreenElement && document.fullscreenElement.id == 'screen'",
                  10, "full screen")
    check(page.evaluate("[canvas.width, canvas.height, canvas.style.width]") ==
          [*settings["size"], "1024px"], f"{name}: full screen did not scale the picture")
    key(page, "f", 70)
    page.wait_for("document.fullscreenElement == null", 10, "the end of full screen")

    # Esc stops the game and offers another.
    key(page, "Escape", 27)
    page.wait_for("document.querySelector('#keys button') != null", 10, "the game to stop")
    frame = page.evaluate("Browser.mainLoop.currentFrameNumber")
    page.pump(0.5)
    check(page.evaluate("Browser.mainLoop.currentFrameNumber") == frame,
          f"{name}: frames go on after Esc")
    page.screenshot(os.path.join(tempfile.gettempdir(), "spindrel-web-stopped.png"))


def replay_pages(browser, page, bin_dir, scratch):
    scripts = sorted(glob.glob(os.path.join(os.path.dirname(__file__), "..", "replay", "*.replay")))
    check(scripts, "no replay scenarios found")
    for build in BUILDS:
        for script in scripts:
            base = os.path.basename(script)
            what = f"replay{build}.html?script={base}"
            try:
                lines, shot = desktop_replay(bin_dir, f"spindrel-replay{build}", script,
                                             frames_of(script), scratch)
                browser.navigate(page, what)
                deadline = time.time() + 600
                while not any(e.get("method") == "Runtime.consoleAPICalled" and
                              e["params"]["args"][0].get("value") in ("replay: done",)
                              or e.get("method") == "Runtime.exceptionThrown"
                              or (e.get("method") == "Runtime.consoleAPICalled"
                                  and e["params"]["type"] == "error")
                              for e in page.events[-50:]):
                    if time.time() > deadline:
                        raise TimeoutError("no 'replay: done'")
                    page.pump(1)
                logs = page.console_logs()
                check(logs[-1:] == ["replay: done"], f"{what}: ended with {logs[-1:]}")
                check(logs[:-1] == lines,
                      f"{what}: {len(logs) - 1} lines differ from the desktop's {len(lines)}")
                check(without_frame_rate(page.canvas()) == without_frame_rate(shot),
                      f"{what}: last frame differs from the desktop's")
            except Exception:
                check(False, f"{what}: {traceback.format_exc()}")


def main():
    # A plain kill still ends the browser and the server (the finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    site, bin_dir = (os.path.abspath(p) for p in sys.argv[1:3])
    scratch = tempfile.mkdtemp(prefix="spindrel-web-")
    browser = cdp.Browser(site)
    try:
        page = browser.open()
        # The desktop's pictures: the first frame of each program and blue's
        # turn after New Game in the two-player scenario.
        first_frames = {}
        empty = os.path.join(scratch, "empty.replay")
        with open(empty, "w") as f:
            f.write("frames 1\n")
        for build in BUILDS:
            first_frames[build] = desktop_replay(bin_dir, f"spindrel-replay{build}", empty, 1,
                                                 scratch)[1]
        two_players = os.path.join(os.path.dirname(__file__), "..", "replay",
                                   "new_game_two_players.replay")
        lines, shot = desktop_replay(bin_dir, "spindrel-replay", two_players,
                                     frames_of(two_players), scratch)
        last = lines[-1].split()
        assert int(last[2]) < 1 and last[3] == str(BLUE), "the scenario must end on blue's turn"
        blue_turn_status = region(shot, *STATUS)

        game_pages(browser, page, first_frames)
        try:
            play(browser, page, bin_dir, blue_turn_status)
        except Exception:
            check(False, f"cspindrel.html: {traceback.format_exc()}")
        replay_pages(browser, page, bin_dir, scratch)
    finally:
        browser.close()
        subprocess.run(["rm", "-rf", scratch])
    if failures:
        print(f"{len(failures)} failure(s)", file=sys.stderr)
        return 1
    print("all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
