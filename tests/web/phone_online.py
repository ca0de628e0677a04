"""The online page on a phone, through the game's server: the board fits and a tap sends the tapped node's move."""
import base64, json, os, sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "online"))
from browser_lib import Server, create, start_game  # noqa: E402
import phones  # noqa: E402


def online(t, site, bin_dir, scratch):
    """Both seats on one page held upright: on its turn, after a drag on the board and the page scrolled, two
    taps on one of its nodes send that node; the board is whole on screen at every device size."""
    server = Server(f"{bin_dir}/spindrel-server", site, scratch).start()
    host = create(t.S.page.browser, server.base, 1, ["browser", "browser"])[0]
    start_game(host, [host])
    for name, width, height, scale in reversed(phones.DEVICES):  # ends upright
        phones.emulate(host, width, height, scale)
        host.wait("(t => t && t.atRest && t.human)(online.game.turn()) &&"  # and refitted
                  " new Promise(ok => requestAnimationFrame(() => requestAnimationFrame(ok)))", 30)
        x, y, width = host.js("[0, 1, 2].map(i => Module._online_layout(i))")
        cell = host.cell_point(1, 0)[0] - host.cell_point(0, 0)[0]
        size = width // cell
        m = host.js(phones.MEASURE % json.dumps([x, y, size, cell]))
        t.check(m["board"] and m["scroll"] <= 0 and (width != 390 or m["scale"] * 24 >= 15),
                f"online.html playing at {name}: {m}")
        shot = host.call("Page.captureScreenshot", format="png")["data"]
        open(f"{t.S.shots}/{name}-online-game.png", "wb").write(base64.b64decode(shot))
    seat = host.js("online.game.turn().current")
    # The lowest of its nodes, and the page scrolled down as far as still shows it, whatever the room's seed.
    col, row = host.js(f"[...Array({size * size}).keys()].map(i => [i % {size}, Math.floor(i / {size})])"
                       ".filter(([c, r]) => online.game.playable(c, r)).sort((a, b) => b[1] - a[1])[0]")
    a, b = phones.on_screen(host, x + 100, y + 100), phones.on_screen(host, x + 100, y + 300)
    for kind, points in (("touchStart", [a]), ("touchMove", [b]), ("touchEnd", [])):
        phones.touch(host, kind, *points)
    top = phones.on_screen(host, x + col * cell + cell // 2, y + row * cell + cell // 2)[1]
    host.js(f"document.documentElement.style.height = '3000px'; scrollTo(0, {max(1, min(40, int(top) - 12))})")
    phones.tap(host, x + col * cell + cell // 2, y + row * cell + cell // 2)  # marks the node
    host.wait(f"online.game.marked().join() == '{col},{row}' && !online.sent.length", 20)
    phones.tap(host, x + col * cell + cell // 2, y + row * cell + cell // 2)  # and plays it
    host.wait("online.sent.length", 20)
    sent = host.js("online.sent[0]")
    t.check(host.js("scrollY") > 0 and [sent["seat"], sent["col"], sent["row"]] == [seat, col, row],
            f"online.html: a tap on {seat}'s node {col},{row} with the page scrolled sends {sent}")
