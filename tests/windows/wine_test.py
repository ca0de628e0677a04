#!/usr/bin/env python3
"""The Windows zip under Wine on Xvfb, in a scratch copy of a Wine prefix
made once per Wine version in CACHE_DIR: the DLLs each program loads, the
Linux window test (tests/system/window.py) reading stdout.txt, the firings
through SDL's disk audio driver, and every scenario's traces and pictures
through the Windows replay tools (tests/system/golden.sh).
Every process is ended at the end, those of the prefix by wineserver -k.

    wine_test.py WINDOWS_BUILD_DIR SOURCE_DIR CACHE_DIR
"""
import array, contextlib, glob, os, re, shutil, subprocess, sys, tempfile, zipfile

build, source, cache = (os.path.abspath(a) for a in sys.argv[1:4])
os.makedirs(cache, exist_ok=True)
scratch, approved = tempfile.mkdtemp(prefix="run-", dir=cache), os.path.join(build, "approved")
os.makedirs(approved, exist_ok=True)  # the approved facts; golden.sh leaves its failures here
shutil.copy(os.path.join(source, "tests/golden/facts.sh.txt"), os.path.join(approved, "facts.sh"))
sys.argv[1:] = [scratch, source, approved]  # window.py's arguments
sys.path.insert(0, os.path.join(source, "tests/system"))
sys.dont_write_bytecode = True
import window  # noqa: E402
from window import check, started  # noqa: E402

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "winmm.dll", "msvcrt.dll", "shlwapi.dll"}
os.environ.update(WINEPREFIX=os.path.join(scratch, "prefix"), WINEDEBUG="-all",
                  WINEDLLOVERRIDES="mscoree,mshtml=", WINEARCH="win64")
folder = ""


def unpack():
    global folder
    zips = glob.glob(os.path.join(build, "CSpindrel-*-win64.zip"))
    with zipfile.ZipFile(zips[0]) as z:
        tops = {name.split("/")[0] for name in z.namelist()}
        check(len(zips) == 1 and tops == {os.path.basename(zips[0])[:-4]}, f"one zip of one folder: {zips}, {tops}")
        z.extractall(scratch)
    folder = os.path.join(scratch, tops.pop())
    files = os.listdir(folder)
    shipped = {f.lower() for f in files if f.endswith(".dll")}
    for binary in [os.path.join(folder, f) for f in files if f.endswith((".exe", ".dll"))] + \
            glob.glob(os.path.join(build, "bin", "spindrel-replay*.exe")):
        dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", binary], capture_output=True, text=True).stdout
        loads = {n.lower() for n in re.findall(r"DLL Name: (\S+)", dump)}
        check(loads and not loads - shipped - SYSTEM_DLLS,
              f"{os.path.basename(binary)} loads {sorted(loads)}: the zip's DLLs or Windows' own")
    for package in ("libsdl1.2", "sdl-mixer1.2", "mpg123"):
        notes = os.path.join(folder, "licences", package)
        check(read(notes, "copyright.txt") and f"package {package},".encode() in read(notes, "SOURCE.txt"),
              f"{package}: its licence and source package are shipped")


class PrefixProcesses:  # services.exe, winedevice.exe, ...: ended by wineserver -k
    def __init__(self, prefix):
        self.env = dict(os.environ, WINEPREFIX=prefix)
        started.append(self)
    poll, wait = (lambda self: None), (lambda self: None)
    kill = (lambda self: subprocess.run(["wineserver", "-k"], env=self.env, timeout=30))


def boot():
    version = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.split()[0]
    template = os.path.join(cache, version, "prefix")
    if not os.path.exists(template + ".done"):
        shutil.rmtree(template, ignore_errors=True)
        os.makedirs(template)
        env = PrefixProcesses(template).env  # not captured: the prefix's services outlive wineboot
        code = subprocess.run(["wine", "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=600).returncode
        subprocess.run(["wineserver", "-w"], env=env, timeout=120)  # the registry written out
        check(code == 0, f"a new Wine prefix: wineboot exit code {code}")
        open(template + ".done", "w").close()
    prefix = os.environ["WINEPREFIX"]  # hard links, but for the registry files Wine rewrites
    shutil.copytree(template, prefix, symlinks=True,
                    copy_function=lambda a, b: (shutil.copy if a.endswith(".reg") else os.link)(a, b))
    started.append(subprocess.Popen(["wineserver", "-f", "-p"]))  # one server for every program here
    PrefixProcesses(prefix)


def read(where, name="stdout.txt"):
    path = os.path.join(where, name)
    return open(path, "rb").read() if os.path.exists(path) else b""


class WineGame(window.Game):  # SDLmain writes the output to stdout.txt beside the program
    def command(self):
        for name in glob.glob(os.path.join(folder, "std*.txt")):
            os.remove(name)
        return ["wine", self.name + ".exe"], folder

    def output(self):
        return read(folder).decode().replace("\r\n", "\n")


def firings_heard():
    """The demonstration's computers fire within its first seconds; nothing
    else makes a sound before a click. (A spoilt sheet: startup.sh, on the same code.)"""
    with contextlib.suppress(subprocess.TimeoutExpired):  # killed at the timeout
        subprocess.run(["wine", "CSpindrel.exe"], cwd=folder, timeout=6, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       env=dict(os.environ, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE="audio.raw", SDL_DISKAUDIODELAY="16"))
    data = read(folder, "audio.raw")
    samples = array.array("h", data[:len(data) // 2 * 2])  # 16-bit, as the mixer opens it
    rms = (sum(v * v for v in samples) / len(samples)) ** 0.5 if samples else 0
    check(len(samples) > 44100 and rms >= 100, f"the firings heard: {len(samples)} samples, RMS {rms:.0f}")


def traces():
    """golden.sh runs every scenario through wrappers that start the Windows
    replay tools under Wine and print their stdout.txt."""
    wrappers, tools = os.path.join(scratch, "replay"), os.path.join(build, "bin")
    os.makedirs(wrappers)
    for name in ("font.bmp", "ui.bmp", "nodes.bmp"):
        os.symlink(os.path.join(folder, name), os.path.join(wrappers, name))
    for suffix in ("", "-r1", "-r2", "-r3"):
        with open(os.path.join(wrappers, "spindrel-replay" + suffix), "w") as f:
            f.write(f'#!/bin/sh\nrm -f "{tools}/stdout.txt"\nwine "{tools}/spindrel-replay{suffix}.exe" "$@" '
                    f'>/dev/null 2>&1\nstatus=$?\ntr -d "\\r" <"{tools}/stdout.txt"\n'
                    f'[ $status = 0 ] || echo "exit code $status" >&2\nexit $status\n')
        os.chmod(f.name, 0o755)
    result = subprocess.run([os.path.join(source, "tests/system/golden.sh"), wrappers, source, approved],
                            capture_output=True, text=True, timeout=600)
    print("".join("golden: " + line + "\n" for line in result.stdout.splitlines()), end="")
    check(result.returncode == 0, "every scenario's trace and pictures under Wine equal the approved ones")


try:
    window.run_all(unpack, boot, lambda: window.main(WineGame), firings_heard, traces)
finally:
    shutil.rmtree(scratch, ignore_errors=True)
