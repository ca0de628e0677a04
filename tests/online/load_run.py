#!/usr/bin/env python3
"""The load tool against a fresh server: load_run.py BIN_DIR [load tool options]."""
import os
import subprocess
import sys
import tempfile

from serverproc import Server


def run(bin_dir, options):
    with tempfile.TemporaryDirectory() as scratch:
        server = Server(bin_dir, scratch, os.path.join(scratch, "rooms.db"))
        try:
            return subprocess.run([os.path.join(bin_dir, "spindrel-load"), "--port",
                                   str(server.port), "--server-pid", str(server.proc.pid),
                                   *options], timeout=900).returncode
        finally:
            server.stop()


if __name__ == "__main__":
    sys.exit(run(sys.argv[1], sys.argv[2:]))
