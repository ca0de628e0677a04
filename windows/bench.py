#!/usr/bin/env python3
"""The Windows figures, beside the Linux program in the same run, each on
an Xvfb server of its own (depth 24; so that neither's window counts as the
other's first frame): the CPU share at the 60 Hz pace (median of runs,
the game's own process; under Wine also the wineserver's share), the time
from start to the first frame on screen, and the zip's size.

    bench.py WINDOWS_BUILD_DIR NATIVE_BUILD_DIR CACHE_DIR [SECONDS] [RUNS]
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

build, native, cache = (os.path.abspath(a) for a in sys.argv[1:4])
seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 10
runs = int(sys.argv[5]) if len(sys.argv) > 5 else 5
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
        read_end, write_end = os.pipe()
        started.append(subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp",
                                         "-screen", "0", "1024x768x24"], pass_fds=(write_end,),
                                        stderr=subprocess.DEVNULL))
        os.close(write_end)
        self.name = ":" + os.read(read_end, 16).decode().strip()
        self.xlib = ctypes.CDLL("libX11.so.6")
        self.xlib.XOpenDisplay.restype = ctypes.c_void_p
        self.xlib.XDefaultRootWindow.restype = ctypes.c_ulong
        self.xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.xlib.XGetImage.restype = ctypes.c_void_p
        self.xlib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                        ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.xlib.XGetPixel.restype = ctypes.c_ulong
        self.xlib.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        self.xlib.XFree.argtypes = [ctypes.c_void_p]
        self.display = self.xlib.XOpenDisplay(self.name.encode())
        self.root = self.xlib.XDefaultRootWindow(self.display)

    def lit(self):
        """Whether anything but black shows on rows across the screen."""
        for y in range(4, 768, 24):
            image = self.xlib.XGetImage(self.display, self.root, 0, y, 1024, 1, 0xFFFFFF, 2)
            found = any(self.xlib.XGetPixel(image, x, 0) for x in range(0, 1024, 4))
            # What XDestroyImage does: the pixels (after four ints), then the image.
            self.xlib.XFree(ctypes.c_void_p.from_address(image + 16).value)
            self.xlib.XFree(image)
            if found:
                return True
        return False


def start(screen, command, cwd):
    proc = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            env=dict(os.environ, SDL_AUDIODRIVER="dummy", DISPLAY=screen.name))
    started.append(proc)
    return proc


def stop(screen, proc):
    """Escape, as a player ends the game (a killed Wine program slows the
    next one's start for seconds); killed if it is still running after that."""
    env = dict(os.environ, DISPLAY=screen.name)
    windows = subprocess.run(["xdotool", "search", "--name", f"^{CAPTION}$"], capture_output=True, text=True, env=env)
    for window in windows.stdout.split():
        subprocess.run(["xdotool", "key", "--window", window, "Escape"], capture_output=True, env=env)
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
    started.remove(proc)


def first_frame(screen, command, cwd):
    """Seconds from start until the window shows a lit pixel."""
    begin = time.time()
    proc = start(screen, command, cwd)
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
    stop(screen, proc)
    time.sleep(0.5)  # the window gone before the next run looks for one
    return (c1 - c0) / (w1 - w0), (s1 - s0) / (w1 - w0), taken


def main():
    zips = glob.glob(os.path.join(build, "CSpindrel-*-win64.zip"))
    with zipfile.ZipFile(zips[0]) as z:
        z.extractall(scratch)
        folder = os.path.join(scratch, z.namelist()[0].split("/")[0])
        unpacked = sum(i.file_size for i in z.infolist())
    linux_screen, wine_screen = Screen(), Screen()
    os.environ["DISPLAY"] = wine_screen.name  # Wine's own processes
    os.environ.update(WINEPREFIX=os.path.join(scratch, "prefix"), WINEDEBUG="-all",
                      WINEDLLOVERRIDES="mscoree,mshtml=")
    # In the first minutes of a new prefix Wine takes seconds more to open a
    # window: the prefix the tests keep in the cache (make test-windows) is
    # copied, as they do, when there is one.
    version = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.split()[0]
    template = os.path.join(cache, version, "prefix")
    if os.path.exists(template + ".done"):
        shutil.copytree(template, os.environ["WINEPREFIX"], symlinks=True)
    else:
        print(f"No Wine prefix in {cache}: a new one (make test-windows makes one to keep)")
        os.makedirs(os.environ["WINEPREFIX"])
    server = subprocess.Popen(["wineserver", "-f", "-p"])
    started.append(server)
    # Not captured: the prefix's services inherit the output and outlive wineboot.
    subprocess.run(["wine", "wineboot", "-i"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=180)
    # The first start in this prefix also sets up Wine's fonts and devices.
    proc, cold = first_frame(wine_screen, ["wine", "CSpindrel.exe"], folder)
    stop(wine_screen, proc)
    time.sleep(0.5)
    linux, wine = [], []
    for _ in range(runs):
        linux.append(paced(linux_screen, [os.path.join(native, "bin", "CSpindrel")], os.path.join(native, "bin")))
        wine.append(paced(wine_screen, ["wine", "CSpindrel.exe"], folder, server))
    med = lambda rows, i: statistics.median(r[i] for r in rows)
    print(f"| zip | {os.path.getsize(zips[0]) / 1024:.0f} KiB ({unpacked / 1024:.0f} KiB unpacked) |")
    print(f"| CPU at the 60 Hz pace, Linux CSpindrel | {med(linux, 0) * 100:.1f} % of a core |")
    print(f"| CPU at the 60 Hz pace, CSpindrel.exe under Wine | {med(wine, 0) * 100:.1f} % of a core "
          f"(+ {med(wine, 1) * 100:.1f} % wineserver) |")
    print(f"| start to the first frame on screen, Linux | {med(linux, 2) * 1000:.0f} ms |")
    print(f"| start to the first frame on screen, Wine | {med(wine, 2) * 1000:.0f} ms "
          f"(the first start in this prefix: {cold * 1000:.0f} ms) |")


try:
    main()
finally:
    # The prefix's own processes (services.exe, winedevice.exe, ...) first.
    if "WINEPREFIX" in os.environ:
        subprocess.run(["wineserver", "-k"], timeout=30)
    for proc in reversed(started):
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    shutil.rmtree(scratch, ignore_errors=True)
