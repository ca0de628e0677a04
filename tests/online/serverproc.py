"""Starts spindrel-server on a free loopback port and ends it by its pid."""
import os, signal, subprocess


class Server:
    printed_by_all = ""  # what every server printed, once stopped
    def __init__(self, bin_dir, site, db, *options):
        self.log = open(db + ".log", "a+")
        self.proc = subprocess.Popen([os.path.join(bin_dir, "spindrel-server"), "--site", site,
                                      "--port", "0", "--db", db, *options],
                                     stdout=subprocess.PIPE, stderr=self.log, text=True)
        self.printed = self.proc.stdout.readline()
        if not self.printed.startswith("listening on http://127.0.0.1:"):
            self.stop()
            raise RuntimeError("the server did not start: " + self.printed)
        self.port = int(self.printed.rstrip().rstrip("/").rsplit(":", 1)[1])
        self.printed += self.proc.stdout.readline()

    def stop(self, sig=signal.SIGTERM):
        if self.log.closed:
            return
        if self.proc.poll() is None:
            os.kill(self.proc.pid, sig)
        self.proc.wait(timeout=10)
        self.printed += self.proc.stdout.read()
        self.log.seek(0)
        self.printed += self.log.read()
        self.log.close()
        Server.printed_by_all += self.printed
