"""A small WebSocket client over a plain socket, so the tests can send
what no library would: binary frames, oversized ones, floods."""
import base64, json, os, socket, struct


class Client:
    """tls: an ssl.SSLContext for wss://; room: given in the URL, as the page does."""
    def __init__(self, port, room=None, tls=None):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)  # as browsers do
        if tls:
            self.sock = tls.wrap_socket(self.sock, server_hostname="localhost")
        self.close_code = self.close_reason = None
        key = base64.b64encode(os.urandom(16)).decode()
        path = "/ws" + (f"?room={room}" if room else "")
        self.sock.sendall((f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nUpgrade: websocket\r\n"
                           f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                           "Sec-WebSocket-Version: 13\r\n\r\n").encode())
        self.buffer = b""
        while b"\r\n\r\n" not in self.buffer:
            self._more()
        head, _, self.buffer = self.buffer.partition(b"\r\n\r\n")
        if b" 101 " not in head.split(b"\r\n")[0]:
            raise ConnectionError(head.decode(errors="replace"))

    def _more(self):
        chunk = self.sock.recv(65536)
        if not chunk:
            raise ConnectionError("closed")
        self.buffer += chunk

    def send_frame(self, payload, opcode=1):
        mask, n = os.urandom(4), len(payload)
        head = struct.pack("!BB", 0x80 | opcode, 0x80 | n) if n < 126 else \
            struct.pack("!BBH", 0x80 | opcode, 0x80 | 126, n)
        self.sock.sendall(head + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))

    def send(self, message):
        self.send_frame((message if isinstance(message, str) else json.dumps(message)).encode())

    def _take(self, n):
        while len(self.buffer) < n:
            self._more()
        out, self.buffer = self.buffer[:n], self.buffer[n:]
        return out

    def recv(self):
        """The next text message as a dict; ConnectionError once the server closed."""
        while True:
            b0, b1 = self._take(2)
            n = struct.unpack("!H", self._take(2))[0] if b1 & 0x7F == 126 else b1 & 0x7F
            payload = self._take(n)
            if b0 & 0x0F == 8:
                if len(payload) >= 2:
                    self.close_code, self.close_reason = struct.unpack("!H", payload[:2])[0], payload[2:].decode()
                raise ConnectionError("closed by the server")
            if b0 & 0x0F == 1:
                return json.loads(payload)

    def expect(self, kind):
        """The next message but presence ones, which must be of kind."""
        while (message := self.recv())["type"] == "presence" and kind != "presence":
            pass
        assert message["type"] == kind, f"wanted {kind}, got {message}"
        return message
