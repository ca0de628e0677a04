"""Starts spindrel-server on a free loopback port and ends it by its pid."""
import os
import signal
import subprocess


class Server:
    def __init__(self, bin_dir, site, db, *options):
        self.output = open(db + ".log", "a+")
        self.proc = subprocess.Popen(
            [os.path.join(bin_dir, "spindrel-server"), "--site", site, "--port", "0", "--db", db,
             *options], stdout=subprocess.PIPE, stderr=self.output, text=True)
        first = self.proc.stdout.readline()
        if not first.startswith("listening on http://127.0.0.1:"):
            self.stop()
            raise RuntimeError("the server did not start: " + first)
        self.port = int(first.rstrip().rstrip("/").rsplit(":", 1)[1])
        self.printed = first + self.proc.stdout.readline()

    def stop(self, sig=signal.SIGTERM):
        if self.proc.poll() is None:
            os.kill(self.proc.pid, sig)
        self.proc.wait(timeout=10)
        self.printed += self.proc.stdout.read()
        self.output.seek(0)
        self.printed += self.output.read()
        self.output.close()
