#!/usr/bin/env python3
"""web_test.py SITE BIN: the browser build (SITE, from `make web`) in headless Chromium, driven over its
DevTools pipe, against the desktop programs in BIN: game pages, a game, replay pages' lines and frames."""
import base64, glob, os, re, shlex, shutil, signal, subprocess, sys, tempfile, time, types

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from chromium import Browser, start, stop, stop_all  # noqa: E402
import phone_online, phones  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# What the build says of the deliverables (facts.sh beside BIN).
FACTS = dict(f.split("=", 1) for f in shlex.split(open(os.path.abspath(sys.argv[2]) + "/../facts.sh").read()))
SIZES = {s: (int(FACTS[f"{r}_window_width"]), int(FACTS[f"{r}_window_height"]))
         for s, r in (("-r3", "r3"), ("-r2", "r2"), ("-r1", "r1"), ("", "current"))}
FPS_X, FPS_Y = int(FACTS["current_board_origin_x"]) + 4 * int(FACTS["text_advance"]), int(FACTS["frame_rate_y"])
FRAME_RATE = f"rectangle {FPS_X},{FPS_Y} {FPS_X + 59},{FPS_Y + 14}"  # the frame-rate digits follow the clock
STATUS = "[200x15+0+8]"
S = types.SimpleNamespace(failures=[], page=None, now=None, shots=None)


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what, file=sys.stderr)
    S.failures.extend([] if ok else [what])


def constant(name):  # a number the build gives
    return int(FACTS[name])


def js(expression):
    return S.page.js(expression)


def wait(condition, seconds=60):
    S.page.wait(condition, seconds)


# The page's frame counter: Emscripten 3.1.69 keeps it in MainLoop, older ones in Browser.mainLoop.
FRAME = "(globalThis.MainLoop || Browser.mainLoop).currentFrameNumber"


def frames(count):  # a game page at rest sleeps until woken, as a key or the pointer does
    wait(f"{FRAME} >= {js(f'(Module._spindrel_wake && Module._spindrel_wake(), {FRAME})') + count}")


def goto(url):
    S.page.goto(url, 300)  # a replay runs whole before the page's load event


def replay_lines():  # what the page printed, up to its last line or its first error
    lines = []
    while not lines or lines[-1] != "replay: done":
        e = S.page.browser.until(lambda e: e.get("sessionId") == S.page.session and e.get("method") in
                                 ("Runtime.exceptionThrown", "Runtime.consoleAPICalled"), 300)
        if e["method"] == "Runtime.exceptionThrown" or e["params"]["type"] == "error":
            return lines + [str(e["params"])[:300]]
        if e["params"]["type"] == "log":
            lines.append(e["params"]["args"][0].get("value"))
    return lines


def canvas(path):
    open(path, "wb").write(base64.b64decode(js("Module.canvas.toDataURL('image/png')").split(",", 1)[1]))
    return path


def differing(a, b, crop=""):  # ImageMagick's count (AE), the frame-rate digits blanked, or its complaint
    run = subprocess.run(["convert", a + crop, b + crop, "-fill", "black", "-draw", FRAME_RATE, "-metric", "AE",
                          "-compare", "-format", "%[distortion]", "info:"], capture_output=True, text=True)
    return float(run.stdout) if run.returncode == 0 else run.stderr


def pixels(path):
    width = int(subprocess.check_output(["identify", "-format", "%w", path]))
    data = subprocess.check_output(["convert", path, "-alpha", "off", "-depth", "8", "rgb:-"])
    return lambda x, y: data[3 * (y * width + x):3 * (y * width + x) + 3]


def desktop(tool, script):  # the lines for a script's text, in a folder of its own beside the sheets
    folder = tempfile.mkdtemp(dir=S.scratch)
    subprocess.run(["ln", "-s", *glob.glob(f"{S.bin}/*.bmp"), folder], check=True)
    open(f"{folder}/script", "w").write(script)
    run = subprocess.run([f"{S.bin}/{tool}", "script"], cwd=folder, stdout=subprocess.PIPE, text=True, check=True)
    return run.stdout.splitlines(), folder


def tests(base, now, server):
    for suffix, path in ((s, p) for s in SIZES for p in sorted(glob.glob(f"{ROOT}/tests/replay/*.replay"))):
        what = f"replay{suffix}.html?script={os.path.basename(path)}"
        try:
            last = re.search(r"^frames (\d+)$.*^at \1 screenshot (\S+)", text := open(path).read(), re.M | re.S)
            assert last, "the scenario takes no screenshot of its last frame"
            lines, folder = desktop(f"spindrel-replay{suffix}", text)
            lines.append("replay: done")
            goto(base + what)
            logs = replay_lines()
            first = next(((i + 1, a[:150], b[:150]) for i, (a, b) in enumerate(zip(logs, lines)) if a != b), None)
            check(logs == lines, f"{what}: {len(logs)} lines, the desktop {len(lines)}, first differing: {first}"[:500])
            off = differing(canvas(now), os.path.join(folder, last.group(2)))
            check(off == 0, f"{what}: the last frame is the desktop's (differing pixels: {off})")
        except Exception as e:
            check(False, f"{what}: {type(e).__name__}: {e}")

    for suffix, (width, height) in SIZES.items():
        goto(base + (page := f"cspindrel{suffix}.html"))
        wait(f"{FRAME} > 5")
        check(js("[Module.canvas.width, Module.canvas.height]") == [width, height], f"{page}: canvas {width}x{height}")
        desktop(f"spindrel-replay{suffix}", f"frames 1\nat 1 screenshot {now}.bmp\n")
        panel = differing(canvas(now), f"{now}.bmp", f"[200x{height - 185}+0+185]")
        check(panel == 0, f"{page}: the panel is the desktop's (differing pixels: {panel})")

    phones.fits(sys.modules[__name__], base, S.shots, layout)
    phones.taps(sys.modules[__name__], base, blue_node)
    phone_online.online(sys.modules[__name__], S.site, S.bin, S.scratch)
    S.page = S.page.browser.page(1024, 768)
    phones.installs(sys.modules[__name__], base, lambda: stop(server))
    blue_node(lambda: S.page.click(100, 420))  # the game page, loaded with the server stopped, plays to blue's turn
    # At rest the page sleeps; a key wakes it, and it makes up the passes it slept through at once.
    asleep, before = S.page.sleeps(), js(f"[Module._spindrel_passes(), performance.now(), {FRAME}]")
    time.sleep(1)
    S.page.key("x", 88)
    after = js("[Module._spindrel_passes(), performance.now()]")
    slept = (after[1] - before[1]) * constant("frames_per_second") / 1000
    check(asleep and after[0] - before[0] >= slept - 2 and S.page.wait(f"{FRAME} > {before[2]} + 5", 5),
          f"cspindrel.html sleeps at rest; a key wakes it, and it makes up {after[0] - before[0]} passes in {slept:.0f}")


def layout(path):  # the board's origin, size and cell on a page's picture
    r = next((r for s, r in (("-r1", "r1"), ("-r2", "r2"), ("-r3", "r3")) if s + "." in path), "current")
    name = "" if path.startswith("index") else r
    return [int(FACTS.get(f"{name}_board_{k}", 0)) for k in ("origin_x", "origin_y", "size")] + [constant("cell_size")]


def blue_node(new_game):
    """New Game by new_game() on the game page; on blue's turn as the desktop shows it, in frame 32 of a
    two-player game, the top-left corner of a blue node's cell, found by a spot of its body that no arrow covers."""
    now = S.now
    lines = desktop("spindrel-replay", f"seed 3\nframes 32\nat 1 click 100 420\nat 32 screenshot {now}.blue.bmp\n")[0]
    assert lines[-1].split()[2:4] == ["-1", "1"], "frame 32 of that game is no longer blue's turn"
    blue = f"{now}.blue.bmp"
    new_game()
    deadline, seen = time.time() + 60, 0
    while seen < 2:  # blue's turn stays until blue moves: the computers' game only shows it in passing
        assert time.time() < deadline, "cspindrel.html: New Game never brought blue's turn"
        frames(10)
        seen = seen + 1 if differing(canvas(now), blue, STATUS) == 0 else 0
    step = constant("node_step")
    sheet, board, cell = pixels(f"{S.bin}/nodes.bmp"), pixels(now), constant("cell_size")
    arrows = 5 * step  # on the sheet the arrows follow the five bodies
    sx, sy = next((x, y) for y in range(3, 20) for x in range(3, 20) if len({sheet(step * o + x, y) for o in range(5)})
                  == 5 and all(sheet(arrows + step * d + x, y) == sheet(0, 0) for d in range(4)))
    ox, oy, n = map(constant, ("current_board_origin_x", "current_board_origin_y", "current_board_size"))
    x, y = next(((x, y) for x in range(ox, ox + n * cell, cell) for y in range(oy, oy + n * cell, cell)
                 if board(x + sx, y + sy) == sheet(step + sx, sy)), (None, None))
    assert x is not None, "cspindrel.html: no blue node on the board on blue's turn"
    return x, y


def main():
    S.site, S.bin = (os.path.abspath(p) for p in sys.argv[1:3])
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # the finally below runs on a kill too
    S.scratch = scratch = tempfile.mkdtemp(prefix="spindrel-web-")
    try:
        server = start("python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1", cwd=S.site, text=True,
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        port = re.search(r" port (\d+)", server.stdout.readline()).group(1)
        S.page = Browser(scratch, ("Page.loadEventFired", "Runtime.exceptionThrown", "Runtime.consoleAPICalled")
                         ).page(1024, 768)
        S.now, S.shots = f"{scratch}/now.png", os.path.join(os.path.dirname(S.site), "screens")
        os.makedirs(S.shots, exist_ok=True)
        tests(f"http://127.0.0.1:{port}/", S.now, server)
    except Exception as e:
        check(False, f"{type(e).__name__}: {e}")
    finally:
        stop_all()
        shutil.rmtree(scratch, ignore_errors=True)
    print(f"{len(S.failures)} failure(s)" if S.failures else "all passed", file=sys.stderr)
    return 1 if S.failures else 0


if __name__ == "__main__":
    sys.exit(main())
