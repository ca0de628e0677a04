#!/usr/bin/env python3
"""The Windows figures, beside the Linux program in the same run, on one
Xvfb server (depth 24): the CPU share at the 60 Hz pace (median of runs,
the game's own process; under Wine also the wineserver's share), the time
from start to the first frame on screen, and the zip's size.

    bench.py WINDOWS_BUILD_DIR NATIVE_BUILD_DIR [SECONDS] [RUNS]
"""
import ctypes
import glob
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

build, native = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 10
runs = int(sys.argv[4]) if len(sys.argv) > 4 else 5
CAPTION = "Spindrel-C by Tamwick 2005"
TICK = os.sysconf("SC_CLK_TCK")
scratch = tempfile.mkdtemp(prefix="spindrel-bench-")
started = []


def cpu(pid):
    try:
        fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    except FileNotFoundError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) / TICK


class Screen:
    def __init__(self):
        self.xlib = ctypes.CDLL("libX11.so.6")
        self.xlib.XOpenDisplay.restype = ctypes.c_void_p
        self.xlib.XDefaultRootWindow.restype = ctypes.c_ulong
        self.xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.xlib.XGetImage.restype = ctypes.c_void_p
        self.xlib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                        ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.xlib.XGetPixel.restype = ctypes.c_ulong
        self.xlib.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        self.display = self.xlib.XOpenDisplay(os.environ["DISPLAY"].encode())
        self.root = self.xlib.XDefaultRootWindow(self.display)

    def lit(self):
        """Whether anything but black shows on rows across the screen."""
        for y in range(4, 768, 24):
            image = self.xlib.XGetImage(self.display, self.root, 0, y, 1024, 1, 0xFFFFFF, 2)
            if any(self.xlib.XGetPixel(image, x, 0) for x in range(0, 1024, 4)):
                return True
        return False


def start(command, cwd):
    proc = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            env=dict(os.environ, SDL_AUDIODRIVER="dummy"))
    started.append(proc)
    return proc


def stop(proc):
    proc.kill()
    proc.wait()
    started.remove(proc)


def first_frame(screen, command, cwd):
    """Seconds from start until the window shows a lit pixel."""
    begin = time.time()
    proc = start(command, cwd)
    while not screen.lit() and time.time() - begin < 60:
        time.sleep(0.002)
    taken = time.time() - begin
    return proc, taken


def paced(screen, command, cwd, server=None):
    proc, taken = first_frame(screen, command, cwd)
    time.sleep(1)  # past the first frames and the sheet loading
    c0, s0, w0 = cpu(proc.pid), cpu(server.pid) if server else 0, time.time()
    time.sleep(seconds)
    c1, s1, w1 = cpu(proc.pid), cpu(server.pid) if server else 0, time.time()
    stop(proc)
    time.sleep(0.5)  # the window gone before the next run looks for one
    return (c1 - c0) / (w1 - w0), (s1 - s0) / (w1 - w0), taken


def main():
    zips = glob.glob(os.path.join(build, "CSpindrel-*-win64.zip"))
    with zipfile.ZipFile(zips[0]) as z:
        z.extractall(scratch)
        folder = os.path.join(scratch, z.namelist()[0].split("/")[0])
        unpacked = sum(i.file_size for i in z.infolist())
    read_end, write_end = os.pipe()
    started.append(subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp",
                                     "-screen", "0", "1024x768x24"], pass_fds=(write_end,), stderr=subprocess.DEVNULL))
    os.close(write_end)
    os.environ["DISPLAY"] = ":" + os.read(read_end, 16).decode().strip()
    os.environ.update(WINEPREFIX=os.path.join(scratch, "prefix"), WINEDEBUG="-all",
                      WINEDLLOVERRIDES="mscoree,mshtml=")
    os.makedirs(os.environ["WINEPREFIX"])
    server = subprocess.Popen(["wineserver", "-f", "-p"])
    started.append(server)
    subprocess.run(["wine", "wineboot", "-i"], capture_output=True, timeout=180)
    screen = Screen()
    linux, wine = [], []
    for _ in range(runs):
        linux.append(paced(screen, [os.path.join(native, "bin", "CSpindrel")], os.path.join(native, "bin")))
        wine.append(paced(screen, ["wine", "CSpindrel.exe"], folder, server))
    med = lambda rows, i: statistics.median(r[i] for r in rows)
    print(f"| zip | {os.path.getsize(zips[0]) / 1024:.0f} KiB ({unpacked / 1024:.0f} KiB unpacked) |")
    print(f"| CPU at the 60 Hz pace, Linux CSpindrel | {med(linux, 0) * 100:.1f} % of a core |")
    print(f"| CPU at the 60 Hz pace, CSpindrel.exe under Wine | {med(wine, 0) * 100:.1f} % of a core "
          f"(+ {med(wine, 1) * 100:.1f} % wineserver) |")
    print(f"| start to the first frame on screen, Linux | {med(linux, 2) * 1000:.0f} ms |")
    print(f"| start to the first frame on screen, Wine | {med(wine, 2) * 1000:.0f} ms |")


try:
    main()
finally:
    for proc in reversed(started):
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    shutil.rmtree(scratch, ignore_errors=True)
