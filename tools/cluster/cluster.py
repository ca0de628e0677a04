#!/usr/bin/env python3
"""cluster.py BIN_DIR SITE STATE_DIR [PORT]: several spindrel-servers behind
HAProxy on loopback, with TLS at HAProxy on a self-signed certificate made
now. Serves until Ctrl+C; the tests and the benchmark import Cluster."""
import os, pathlib, signal, socket, subprocess, sys, time

HERE = pathlib.Path(__file__).resolve().parent
IDS = ["01", "02", "03"]  # room codes begin with them; none begins another
MARK = "# one per server"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, proc):
    """Until something accepts on port, or proc ends (then RuntimeError)."""
    while True:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            if proc.poll() is not None:
                raise RuntimeError(f"{proc.args[0]} ended with {proc.returncode}")
            time.sleep(0.05)


def haproxy_config(template, fields, servers):
    """The template with its fields filled; each run of lines marked as one
    per server repeated for every (id, address) in servers."""
    out, group = [], []
    def flush():
        for sid, address in servers:
            out.extend(line.replace("@ID@", sid).replace("@SERVER@", address) for line in group)
        group.clear()
    for line in template.splitlines():
        if MARK in line:
            group.append(line.replace(MARK, "").rstrip())
            continue
        flush()
        for key, value in fields.items():
            line = line.replace(f"@{key}@", str(value))
        out.append(line)
    flush()
    return "\n".join(out) + "\n"


class Cluster:
    def __init__(self, bin_dir, site, state, port=0, per_address=64):
        self.bin_dir, self.site, self.state = bin_dir, site, pathlib.Path(state)
        self.state.mkdir(parents=True, exist_ok=True)
        self.port = port or free_port()
        self.servers = {sid: None for sid in IDS}
        self.ports = {sid: free_port() for sid in IDS}
        self.proxy = None
        try:
            for sid in IDS:
                self.start(sid)
            self.cert = self.state / "proxy.pem"
            key = self.state / "proxy.key"
            subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                            "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1",
                            "-keyout", key, "-out", self.state / "cert.pem"], check=True, capture_output=True)
            # HAProxy takes the certificate and its key from one file.
            self.cert.write_bytes((self.state / "cert.pem").read_bytes() + key.read_bytes())
            key.unlink()
            config = self.state / "haproxy.cfg"
            config.write_text(haproxy_config(
                (HERE / "haproxy.cfg.in").read_text(),
                {"ADDRESS": "127.0.0.1", "PORT": self.port, "CERT": self.cert, "PER_ADDRESS": per_address},
                [(sid, f"127.0.0.1:{self.ports[sid]}") for sid in IDS]))
            subprocess.run(["haproxy", "-c", "-q", "-f", config], check=True)
            self.proxy = subprocess.Popen(["haproxy", "-f", config], stdout=self.log("haproxy"),
                                          stderr=subprocess.STDOUT)
            wait_for_port(self.port, self.proxy)
        except BaseException:
            self.stop()
            raise

    def log(self, name):
        return open(self.state / f"{name}.log", "a")

    def start(self, sid):
        """Starts (or starts again) the server sid on its port."""
        proc = subprocess.Popen([os.path.join(self.bin_dir, "spindrel-server"), "--site", self.site,
                                 "--port", str(self.ports[sid]), "--db", self.state / f"rooms-{sid}.sqlite",
                                 "--server-id", sid, "--per-address", "1000000"],
                                stdout=self.log(sid), stderr=subprocess.STDOUT)
        self.servers[sid] = proc
        wait_for_port(self.ports[sid], proc)

    def kill(self, sid, sig=signal.SIGKILL):
        """Ends the server sid with sig; its exit code."""
        proc = self.servers[sid]
        if proc.poll() is None:
            proc.send_signal(sig)
        try:
            return proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            return proc.wait()

    def stop(self):
        for sid, proc in self.servers.items():
            if proc:
                self.kill(sid, signal.SIGTERM)
        if self.proxy and self.proxy.poll() is None:
            self.proxy.terminate()
            try:
                self.proxy.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proxy.kill()
                self.proxy.wait()


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    cluster = Cluster(*sys.argv[1:4], port=int(sys.argv[4]) if len(sys.argv) == 5 else 0)
    try:
        print(f"servers {', '.join(f'{s} on 127.0.0.1:{p}' for s, p in cluster.ports.items())}; "
              f"logs and databases in {cluster.state}")
        print(f"Open https://127.0.0.1:{cluster.port}/online.html (a self-signed certificate: "
              "accept it once; Ctrl+C stops)", flush=True)
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
        signal.pause()
    except KeyboardInterrupt:
        pass
    finally:
        cluster.stop()


if __name__ == "__main__":
    main()
