#!/usr/bin/env python3
"""The Windows zip unpacked and run under Wine on an Xvfb server, in a fresh
Wine prefix of a scratch folder: what the zip holds and the DLLs its
programs load, the window test of the Linux programs (caption, size, hidden
cursor, New Game and a move, Escape, the close button) with the output read
from stdout.txt, a spoilt sheet's failure line, the firing sound through
SDL's disk audio driver, and every replay scenario's trace and pictures
against the approved ones. Every process started here is killed at the end.

    wine_test.py WINDOWS_BUILD_DIR SOURCE_DIR NATIVE_DATA_DIR CACHE_DIR

A new Wine prefix takes a minute or more to set up, so one is made once per
Wine version in CACHE_DIR and each run starts from a copy of it (hard links,
but for the registry files Wine rewrites).
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "system"))
import window  # noqa: E402  (reads the same two first arguments)
from window import check, started  # noqa: E402

build, source, native, cache = (os.path.abspath(a) for a in sys.argv[1:5])
scratch = tempfile.mkdtemp(prefix="spindrel-wine-")
PROGRAMS = ("CSpindrel", "CSpindrel-r1", "CSpindrel-r2", "CSpindrel-r3")
DATA = ("font.bmp", "ui.bmp", "nodes.bmp", "click.wav", "etm0507.mp3")
# What Windows itself has; anything else must come in the zip.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "winmm.dll", "msvcrt.dll", "advapi32.dll",
               "shell32.dll", "shlwapi.dll", "ole32.dll", "oleaut32.dll", "imm32.dll", "version.dll", "dxguid.dll"}
os.environ.update(WINEPREFIX=os.path.join(scratch, "prefix"), WINEDEBUG="-all",
                  WINEDLLOVERRIDES="mscoree,mshtml=", WINEARCH="win64")
folder = ""


def unpack():
    global folder
    zips = glob.glob(os.path.join(build, "CSpindrel-*-win64.zip"))
    check(len(zips) == 1, f"one zip in {build}: {zips}")
    with zipfile.ZipFile(zips[0]) as z:
        tops = {name.split("/")[0] for name in z.namelist()}
        check(tops == {os.path.basename(zips[0])[:-4]}, f"the zip holds one folder: {tops}")
        z.extractall(scratch)
    folder = os.path.join(scratch, tops.pop())
    files = set(os.listdir(folder))
    check(files >= {p + ".exe" for p in PROGRAMS} | set(DATA) | {"README.txt", "licences"},
          f"the programs, data files, README.txt and licences are in the zip: {sorted(files)}")
    for name in DATA:
        with open(os.path.join(folder, name), "rb") as a, open(os.path.join(native, name), "rb") as b:
            check(a.read() == b.read(), f"{name} has the native generator's bytes")
    # Every DLL a program or DLL loads is in the zip or part of Windows,
    # and every DLL shipped has its licence and source.
    shipped = {f.lower() for f in files if f.endswith(".dll")}
    tools = glob.glob(os.path.join(build, "bin", "spindrel-replay*.exe"))
    for binary in sorted(f for f in files if f.endswith((".exe", ".dll"))) + tools:
        dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", os.path.join(folder, binary)],
                              capture_output=True, text=True).stdout
        loads = {n.lower() for n in re.findall(r"DLL Name: (\S+)", dump)}
        stray = loads - shipped - SYSTEM_DLLS
        check(loads and not stray, f"{os.path.basename(binary)} loads {sorted(loads)}, none from elsewhere")
    notes = "".join(open(f).read() for f in glob.glob(os.path.join(folder, "licences", "*", "SOURCE.txt")))
    for package in ("libsdl1.2", "sdl-mixer1.2", "mpg123"):
        check(f"source package {package}, version" in notes and
              os.path.exists(os.path.join(folder, "licences", package, "copyright.txt")),
              f"{package}: its licence and source version are shipped")


def server(prefix, *persist):
    """A wineserver for the prefix, ended by its id if it is still there."""
    proc = subprocess.Popen(["wineserver", "-f", *persist], env=dict(os.environ, WINEPREFIX=prefix))
    started.append(proc)
    return proc


def boot():
    version = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.split()[0]
    template = os.path.join(cache, version, "prefix")
    if not os.path.exists(template + ".done"):
        shutil.rmtree(template, ignore_errors=True)
        os.makedirs(template)
        first = server(template)
        code = subprocess.run(["wine", "wineboot", "-i"], env=dict(os.environ, WINEPREFIX=template),
                              capture_output=True, timeout=600).returncode
        check(code == 0, f"a new Wine prefix, wineboot exit code {code}")
        first.wait(timeout=60)  # the registry saved as it goes
        open(template + ".done", "w").close()
    prefix = os.environ["WINEPREFIX"]
    shutil.copytree(template, prefix, symlinks=True, copy_function=os.link)
    for reg in glob.glob(os.path.join(template, "*.reg")):
        os.remove(os.path.join(prefix, os.path.basename(reg)))
        shutil.copy(reg, prefix)
    # One wineserver for every program here.
    server(prefix, "-p")


class WineGame(window.Game):
    """A program of the zip, started through Wine; SDLmain writes its
    standard output to stdout.txt beside the program."""
    def command(self):
        for name in ("stdout.txt", "stderr.txt"):
            if os.path.exists(os.path.join(folder, name)):
                os.remove(os.path.join(folder, name))
        return ["wine", self.name + ".exe"], folder

    def output(self):
        try:
            with open(os.path.join(folder, "stdout.txt"), "rb") as f:
                return f.read().decode().replace("\r\n", "\n")
        except FileNotFoundError:
            return ""


def run_program(where, program, seconds, **env):
    """Runs program in a copy of the game's folder until it ends or for the
    given seconds; returns its exit code (None if it was killed) and stdout.txt."""
    proc = subprocess.Popen(["wine", program + ".exe"], cwd=where, env=dict(os.environ, **env),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    started.append(proc)
    try:
        code = proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        code = None
    path = os.path.join(where, "stdout.txt")
    return code, open(path, "rb").read().decode().replace("\r\n", "\n") if os.path.exists(path) else ""


def copy_of_game(name):
    where = os.path.join(scratch, name)
    shutil.copytree(folder, where, ignore=shutil.ignore_patterns("std*.txt"))
    return where


def spoilt_sheet():
    where = copy_of_game("spoilt")
    with open(os.path.join(where, "nodes.bmp"), "wb") as f:
        f.write(b"not what it claims to be\n" * 800)
    code, out = run_program(where, "CSpindrel", 30, SDL_VIDEODRIVER="windib", SDL_AUDIODRIVER="dummy")
    lines = out.splitlines()
    check(code == 0 and lines == ["Program Started", "Couldn't load NODES", "Nodes freed"],
          f"a spoilt nodes.bmp: exit code {code}, stdout.txt {lines}")


def firing_sound():
    where = copy_of_game("sound")
    raw = os.path.join(where, "audio.raw")
    # The opening's computers fire within the first seconds.
    run_program(where, "CSpindrel", 6, SDL_VIDEODRIVER="windib", SDL_AUDIODRIVER="disk",
                SDL_DISKAUDIOFILE=raw, SDL_DISKAUDIODELAY="16")
    data = open(raw, "rb").read() if os.path.exists(raw) else b""
    samples = [int.from_bytes(data[i:i + 2], "little", signed=True) for i in range(0, len(data) - 1, 2)]
    rms = (sum(v * v for v in samples) / len(samples)) ** 0.5 if samples else 0
    check(len(samples) > 44100 and rms >= 100, f"the firings heard through the disk driver: "
          f"{len(samples)} samples, RMS {rms:.0f}")


def traces():
    """golden.sh runs each scenario through wrappers that start the Windows
    replay tools under Wine and print their stdout.txt."""
    wrappers = os.path.join(scratch, "replay")
    os.makedirs(wrappers)
    bin_dir = os.path.join(build, "bin")
    for name in DATA[:3]:
        os.symlink(os.path.join(bin_dir, name), os.path.join(wrappers, name))
    for suffix in ("", "-r1", "-r2", "-r3"):
        tool = os.path.join(bin_dir, f"spindrel-replay{suffix}")
        wrapper = os.path.join(wrappers, f"spindrel-replay{suffix}")
        with open(wrapper, "w") as f:
            f.write(f'#!/bin/sh\nrm -f "{bin_dir}/stdout.txt"\nwine "{tool}.exe" "$@" >/dev/null 2>&1\n'
                    f'status=$?\ntr -d "\\r" <"{bin_dir}/stdout.txt"\nexit $status\n')
        os.chmod(wrapper, 0o755)
    result = subprocess.run([os.path.join(source, "tests/system/golden.sh"), wrappers, source, build],
                            capture_output=True, text=True, timeout=600)
    for line in result.stdout.splitlines():
        print("golden: " + line)
    check(result.returncode == 0, "every replay scenario's trace and pictures equal the approved ones")


try:
    window.run_all(unpack, boot, lambda: window.main(WineGame), spoilt_sheet, firing_sound, traces)
finally:
    shutil.rmtree(scratch, ignore_errors=True)
