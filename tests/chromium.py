"""Headless Chromium over its DevTools pipe, a browser context per page, and the processes a test starts,
each ended by its id with all it started however the test ends: what the browser tests share."""
import ctypes, json, os, select, signal, subprocess, sys, time

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


class Browser:
    """keep: the methods of the events kept for until(), besides the answers."""

    def __init__(self, scratch, keep=("Page.loadEventFired", "Runtime.exceptionThrown")):
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
        self.buffer, self.next, self.events, self.keep = b"", 0, [], keep

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
            self.events += [m for m in map(json.loads, messages) if "id" in m or m.get("method") in self.keep]

    def call(self, method, session=None, **params):
        self.next += 1
        number = self.next
        message = dict(id=number, method=method, params=params, **({"sessionId": session} if session else {}))
        os.write(self.commands, json.dumps(message).encode() + b"\0")
        answer = self.until(lambda e: e.get("id") == number, 120)
        assert "error" not in answer, f"{method}: {answer.get('error')}"
        return answer["result"]

    def page(self, width=1120, height=720):
        """A page in a browser context of its own: another player at another computer."""
        context = self.call("Target.createBrowserContext")["browserContextId"]
        target = self.call("Target.createTarget", url="about:blank", browserContextId=context)["targetId"]
        page = Page(self, target, self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"],
                    width, height)
        page.context = context
        return page


class Page:
    def __init__(self, browser, target, session, width, height):
        self.browser, self.target, self.session = browser, target, session
        for method in ("Page.enable", "Runtime.enable"):
            self.call(method)
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1, mobile=False)

    def call(self, method, **params):
        return self.browser.call(method, self.session, **params)

    def mine(self, method):  # accepts this page's events of that method
        return lambda e: e.get("sessionId") == self.session and e.get("method") == method

    def goto(self, url, seconds=60):  # the events kept from here on are the new page's
        self.browser.events = [e for e in self.browser.events if e.get("sessionId") != self.session]
        self.call("Page.navigate", url=url)
        self.browser.until(self.mine("Page.loadEventFired"), seconds)

    def close(self):  # with its browser context, whose idle connections would count against the server's limit
        self.browser.call("Target.closeTarget", targetId=self.target)
        if getattr(self, "context", None):
            self.browser.call("Target.disposeBrowserContext", browserContextId=self.context)

    def js(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, awaitPromise=True, returnByValue=True)
        assert "exceptionDetails" not in result, str(result.get("exceptionDetails"))[:500]
        return result["result"].get("value")

    def wait(self, condition, seconds=60):  # in the page, until the condition holds; its value
        return self.js("new Promise((ok, no) => { const end = Date.now() + %d; (function poll() { let v; try { v = %s; }"
                       " catch {} v ? ok(v) : Date.now() > end ? no(new Error('waited for ' + %s)) :"
                       " setTimeout(poll, 10); })(); })" % (seconds * 1000, condition, json.dumps(condition)))

    def sleeps(self, seconds=30):  # whether the display frames stop (a page at rest sleeps) within seconds
        frame, deadline = "(globalThis.MainLoop || Browser.mainLoop).currentFrameNumber", time.time() + seconds
        while not self.js(f"new Promise(ok => (f => setTimeout(() => ok({frame} == f), 300))({frame}))"):
            if time.time() > deadline:
                return False
        return True

    def key(self, key, code):
        for kind in ("keyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", type=kind, key=key, code=key if key != " " else "Space",
                      windowsVirtualKeyCode=code)

    def click(self, x, y, *kinds):  # a left click on the canvas at (x, y), or the mouse events named
        left, top, scale = self.js("(c => (r => [r.left, r.top, r.width / c.width])(c.getBoundingClientRect()))"
                                   "(Module.canvas)")
        for kind in kinds or ("mouseMoved", "mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=left + (x + 0.5) * scale, y=top + (y + 0.5) * scale,
                      clickCount=1, button="none" if kind == "mouseMoved" else "left")
