"""The pages on phones and tablets, in headless Chromium with device emulation and touch events only: every page
fits, taps land where they are aimed, a cancelled touch lets go, the manifest and its icons, the game offline."""
import base64, json, os

DEVICES = (("phone-portrait", 390, 844, 3), ("phone-landscape", 844, 390, 3), ("tablet", 820, 1180, 2))
PAGES = ("index.html", "cspindrel.html", "cspindrel-r1.html", "cspindrel-r2.html", "cspindrel-r3.html",
         "online.html", "replay-r2.html?script=keys_between_clicks.replay")
# What the player sees of a page: the widest scroll, the zoom, the smallest visible text (a drawing's own lettering
# aside), and, with a picture, its scale in CSS px per game pixel and whether each board corner shows the canvas.
MEASURE = """(([x, y, n, cell]) => { const c = globalThis.Module && Module.canvas.width ? Module.canvas : null;
  const r = c && c.getBoundingClientRect(), s = c ? r.width / c.width : 0;
  const texts = [...document.querySelectorAll('body *')].filter(e => e.getClientRects().length && !e.closest('svg') &&
    [...e.childNodes].some(t => t.nodeType == 3 && t.textContent.trim()));
  const seen = (gx, gy) => document.elementFromPoint(r.left + gx * s, r.top + gy * s) === c;
  const corners = [[x + 1, y + 1], [x + n * cell - 2, y + 1], [x + 1, y + n * cell - 2], [x + n * cell - 2, y + n * cell - 2]];
  return { scroll: document.documentElement.scrollWidth - innerWidth, zoom: visualViewport.scale,
    text: Math.min(1e3, ...texts.map(e => parseFloat(getComputedStyle(e).fontSize))), scale: s,
    board: c ? corners.every(([gx, gy]) => seen(gx, gy)) : true }; })(%s)"""


def emulate(page, width, height, scale):
    page.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=scale, mobile=True)
    page.call("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)


def touch(page, kind, *points):  # CSS px on the viewport
    page.call("Input.dispatchTouchEvent", type=kind, touchPoints=[dict(x=x, y=y, id=i) for i, (x, y) in
                                                                   enumerate(points)])


def on_screen(page, x, y):  # where the game's point (x, y) shows: on the canvas, or on the panel's copy
    return page.js(f"""(() => {{ const c = Module.canvas, r = c.getBoundingClientRect(), s = r.width / c.width;
      const p = document.elementFromPoint(r.left + ({x} + .5) * s, r.top + ({y} + .5) * s);
      if (p === c) return [r.left + ({x} + .5) * s, r.top + ({y} + .5) * s];
      const copy = document.querySelectorAll('.spindrel-view')[1], q = copy.getBoundingClientRect();
      const [u, v] = {y} < 189 ? [{x}, {y}] : [{x} + 200, {y} - 189];  // the panel's halves side by side
      return [q.left + (u + .5) * s, q.top + (v + .5) * s]; }})()""")


def tap(page, x, y):
    at = on_screen(page, x, y)
    touch(page, "touchStart", at)
    touch(page, "touchEnd")


def fits(t, base, shots, layout):
    """Every page at every device size: measured, checked and photographed into shots."""
    page = t.S.page
    for name, width, height, scale in DEVICES:
        emulate(page, width, height, scale)
        for path in PAGES:
            page.goto(base + path, 300)
            if path.startswith("cspindrel"):
                t.wait(f"{t.FRAME} > 5")
            m = t.js(MEASURE % json.dumps(layout(path)))
            what = f"{path} at {name} {width}x{height}: {m}"
            t.check(m["scroll"] <= 0 and m["zoom"] == 1 and m["text"] >= 12 and m["board"], f"{what} fits")
            if width == 390 and m["scale"]:
                t.check(m["scale"] * 24 >= 15, f"{what}: a cell of {m['scale'] * 24:.1f} CSS px")
            shot = page.call("Page.captureScreenshot", format="png")["data"]
            open(f"{shots}/{name}-{path.split('?')[0].replace('.html', '')}.png", "wb").write(base64.b64decode(shot))


def taps(t, base, blue_node):
    """The game at phone size: New Game by a tap on the panel's copy, a touch the browser cancels, a drag and a
    pinch that must not move the page, the page scrolled, then a tap on one of blue's nodes."""
    page = t.S.page
    emulate(page, 390, 844, 3)
    page.goto(base + "cspindrel.html")
    t.wait(f"{t.FRAME} > 5")
    t.js("Module._spindrel_pointer(0, 1, 1); /* binds the export */ window.given = []; (f => Module._spindrel_pointer = (k, x, y) => (given.push([k, x, y]), f(k, x, y)))"
         "(Module._spindrel_pointer)")
    touch(page, "touchStart", on_screen(page, 500, 595))  # the frame-rate line: nothing there
    touch(page, "touchCancel")
    t.check(t.js("given") == [[0, 500, 595], [1, 500, 595], [2, 500, 595]],
            f"a cancelled touch presses and lets go where it was: {t.js('given')}")
    x, y = blue_node(lambda: tap(page, 100, 420))  # New Game, on the panel's second half
    t.check(t.js("given[4]") == [1, 100, 420], f"the panel's copy maps: {t.js('given')}")
    cell = t.constant("cell_size")
    a, b = on_screen(page, 400, 300), on_screen(page, 400, 420)
    for kind, points in (("touchStart", [a]), ("touchMove", [b]), ("touchEnd", []), ("touchStart", [a, b]),
                         ("touchMove", [(a[0] - 60, a[1] - 60), (b[0] + 60, b[1] + 60)]), ("touchEnd", [])):
        touch(page, kind, *points)
    t.check(t.js("[scrollX, scrollY, visualViewport.scale]") == [0, 0, 1], "a drag and a pinch leave the page still")
    t.js("document.body.style.overflow = 'visible'; document.documentElement.style.height = '3000px'; scrollTo(0, 60)")
    t.frames(10)
    before = t.canvas(f"{t.S.now}.before.png")
    t.js("given = []")
    tap(page, x + cell // 2, y + cell // 2)
    t.frames(10)
    landed = [(k, x <= gx < x + cell and y <= gy < y + cell) for k, gx, gy in t.js("given")]
    t.check(t.js("scrollY") == 60 and landed[-2:] == [(1, True), (2, True)],
            f"a tap with the page scrolled lands on the node at {x},{y}: {t.js('given')}")
    t.check(t.differing(t.canvas(t.S.now), before, f"[{cell}x{cell}+{x}+{y}]") != 0, "the tap turns blue's node")


def installs(t, base, stop_server):
    """The manifest and its icons; then the game page, once visited, loads again with the server stopped."""
    page = t.S.page
    page.goto(base + "cspindrel.html")
    manifest = page.call("Page.getAppManifest")
    data = json.loads(manifest.get("data") or "{}")
    icons = {i.get("sizes"): i.get("src") for i in data.get("icons", [])}
    t.check(not manifest.get("errors") and data.get("name") and data.get("display") == "standalone" and
            data.get("theme_color") and data.get("start_url") and set(icons) >= {"192x192", "512x512"},
            f"the manifest: {manifest.get('errors')} {data}")
    for size, src in icons.items():
        got = t.js(f"new Promise(ok => {{ const i = new Image(); i.onload = () => ok(i.naturalWidth + 'x' +"
                   f" i.naturalHeight); i.onerror = () => ok('missing'); i.src = {json.dumps(src)}; }})")
        t.check(got == size, f"the icon {src} is {got}, the manifest says {size}")
    t.wait("navigator.serviceWorker.ready.then(r => r.active && r.active.state == 'activated')")
    stop_server()
    page.call("Network.enable")
    page.call("Network.setCacheDisabled", cacheDisabled=True)  # only the service worker keeps the files
    page.goto(base + "cspindrel.html?again")
    t.wait(f"{t.FRAME} > 5")
