"""A small client for Chromium's DevTools protocol, standard library only:
starts headless Chromium and an HTTP server for a folder, and drives one page
over a websocket (RFC 6455, text frames, client side masked)."""

import base64
import json
import os
import re
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import time
import urllib.request
import zlib


class WebSocket:
    def __init__(self, url, timeout=60):
        match = re.match(r"ws://([^/:]+):(\d+)(/.*)", url)
        host, port, path = match.group(1), int(match.group(2)), match.group(3)
        self.sock = socket.create_connection((host, port), timeout=timeout)
        key = base64.b64encode(os.urandom(16)).decode()
        request = (f"GET {path} HTTP/1.1\r\nHost: {host}:{port}\r\nUpgrade: websocket\r\n"
                   f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                   "Sec-WebSocket-Version: 13\r\n\r\n")
        self.sock.sendall(request.encode())
        self.buffer = b""
        while b"\r\n\r\n" not in self.buffer:
            chunk = self.sock.recv(4096)
            if not chunk:
                raise ConnectionError("websocket handshake: connection closed")
            self.buffer += chunk
        head, self.buffer = self.buffer.split(b"\r\n\r\n", 1)
        if b" 101 " not in head.split(b"\r\n")[0]:
            raise ConnectionError("websocket handshake refused: " + head.decode(errors="replace"))

    def send(self, text):
        payload = text.encode()
        header = bytes([0x81])
        n = len(payload)
        if n < 126:
            header += bytes([0x80 | n])
        elif n < 1 << 16:
            header += bytes([0x80 | 126]) + struct.pack(">H", n)
        else:
            header += bytes([0x80 | 127]) + struct.pack(">Q", n)
        mask = os.urandom(4)
        masked = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
        self.sock.sendall(header + mask + masked)

    def _read(self, n):
        while len(self.buffer) < n:
            chunk = self.sock.recv(max(65536, n - len(self.buffer)))
            if not chunk:
                raise ConnectionError("websocket closed")
            self.buffer += chunk
        data, self.buffer = self.buffer[:n], self.buffer[n:]
        return data

    def receive(self):
        """The next whole text message (fragments joined)."""
        message = b""
        while True:
            first, second = self._read(2)
            n = second & 0x7F
            if n == 126:
                n = struct.unpack(">H", self._read(2))[0]
            elif n == 127:
                n = struct.unpack(">Q", self._read(8))[0]
            payload = self._read(n)
            opcode = first & 0x0F
            if opcode == 8:
                raise ConnectionError("websocket closed by the browser")
            if opcode in (9, 10):  # ping, pong
                continue
            message += payload
            if first & 0x80:
                return message.decode()

    def close(self):
        self.sock.close()


class Page:
    """One browser tab: commands wait for their answer; events are kept."""

    def __init__(self, ws_url):
        self.ws = WebSocket(ws_url)
        self.next_id = 0
        self.events = []

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.receive())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message.get("result", {})
            if "method" in message:
                self.events.append(message)

    def pump(self, seconds):
        """Collects events for a while."""
        self.ws.sock.settimeout(seconds)
        try:
            while True:
                self.events.append(json.loads(self.ws.receive()))
        except socket.timeout:
            pass
        finally:
            self.ws.sock.settimeout(60)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_for(self, expression, timeout=30, what=None):
        """Polls a JavaScript condition until it is true; its last value."""
        deadline = time.time() + timeout
        while True:
            try:
                value = self.evaluate(expression)
            except RuntimeError:  # not defined yet
                value = None
            if value:
                return value
            if time.time() > deadline:
                raise TimeoutError(f"waited {timeout} s for {what or expression}")
            self.pump(0.1)

    def console_logs(self, clear=True):
        """The text of every console.log so far, in order."""
        logs = [e["params"]["args"][0].get("value") for e in self.events
                if e.get("method") == "Runtime.consoleAPICalled" and e["params"]["type"] == "log"]
        if clear:
            self.events = [e for e in self.events if e.get("method") != "Runtime.consoleAPICalled"]
        return logs

    def canvas(self):
        """The canvas as (width, height, rows of (r, g, b) tuples)."""
        url = self.evaluate("document.getElementById('canvas').toDataURL('image/png')")
        return decode_png(base64.b64decode(url.split(",", 1)[1]))

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))

    def close(self):
        self.ws.close()


def decode_png(data):
    """8-bit RGB or RGBA PNGs without interlacing, as browsers write them."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour in (2, 6) and interlace == 0, "unexpected PNG format"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def read_bmp(path):
    """An uncompressed 24- or 32-bit BMP as (width, height, rows of (r, g, b))."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:2] == b"BM", f"{path}: not a BMP"
    offset = struct.unpack("<I", data[10:14])[0]
    width, height = struct.unpack("<ii", data[18:26])
    bits, compression = struct.unpack("<HI", data[28:34])
    assert bits in (24, 32) and compression in (0, 3), f"{path}: {bits}-bit BMPs are not read here"
    step = bits // 8
    stride = (width * step + 3) & ~3
    rows = []
    for y in range(abs(height)):
        source = abs(height) - 1 - y if height > 0 else y
        line = data[offset + source * stride:offset + source * stride + width * step]
        rows.append([(line[x * step + 2], line[x * step + 1], line[x * step]) for x in range(width)])
    return width, abs(height), rows


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Browser:
    """Headless Chromium and an HTTP server for one folder; both are ended by
    their process ids in close(), whatever happened."""

    def __init__(self, folder):
        self.server = self.chromium = None
        self.profile = tempfile.mkdtemp(prefix="spindrel-chromium-")
        try:
            self.port = free_port()
            self.server = subprocess.Popen(
                ["python3", "-m", "http.server", str(self.port), "--bind", "127.0.0.1"],
                cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.base = f"http://127.0.0.1:{self.port}/"
            self._wait_for_server()
            self.chromium = subprocess.Popen(
                [chromium_binary(), "--headless", "--no-sandbox", "--disable-gpu",
                 "--disable-quic", "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--disable-breakpad",
                 "--mute-audio",
                 "--autoplay-policy=no-user-gesture-required",
                 f"--user-data-dir={self.profile}", "--remote-debugging-port=0",
                 "about:blank"],
                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                start_new_session=True)
            self.devtools = self._devtools_address()
            # Chromium goes on writing to its standard error: keep the pipe empty.
            threading.Thread(target=lambda: [None for _ in self.chromium.stderr],
                             daemon=True).start()
        except BaseException:
            self.close()
            raise

    def _wait_for_server(self):
        deadline = time.time() + 20
        while True:
            try:
                urllib.request.urlopen(self.base, timeout=2).read()
                return
            except OSError:
                if time.time() > deadline or self.server.poll() is not None:
                    raise RuntimeError("the HTTP server did not start")
                time.sleep(0.1)

    def _devtools_address(self):
        deadline = time.time() + 30
        for line in self.chromium.stderr:
            match = re.search(r"DevTools listening on ws://([^/]+)/", line)
            if match:
                return match.group(1)
            if time.time() > deadline:
                break
        raise RuntimeError("Chromium did not open its DevTools port")

    def open(self, width=1024, height=768):
        """A new tab with its viewport set and the domains the tests use."""
        request = urllib.request.Request(f"http://{self.devtools}/json/new?about:blank",
                                         method="PUT")
        target = json.loads(urllib.request.urlopen(request, timeout=10).read())
        page = Page(target["webSocketDebuggerUrl"])
        page.target = target["id"]
        page.call("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=1, mobile=False)
        page.call("Page.enable")
        page.call("Runtime.enable")
        return page

    def navigate(self, page, path):
        page.events = []
        page.call("Page.navigate", url=self.base + path)
        page.wait_for("document.readyState == 'complete'", 30, "the page to load")

    def close_page(self, page):
        page.close()
        urllib.request.urlopen(f"http://{self.devtools}/json/close/{page.target}", timeout=10).read()

    def close(self):
        if self.chromium and self.chromium.poll() is None:
            # Its renderers are in the session it leads: end them all.
            try:
                os.killpg(self.chromium.pid, 9)
            except ProcessLookupError:
                pass
        for process in (self.chromium, self.server):
            if process and process.poll() is None:
                process.kill()
            if process:
                process.wait()
        shutil.rmtree(self.profile, ignore_errors=True)


def chromium_binary():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    raise RuntimeError("no chromium on the PATH (make test-web installs it)")
