#!/usr/bin/env python3
"""layering.py [ROOT]: checks every #include "..." of every C++ file, and every .cpp file named in a CMake
file, against the layering table of HACKING.md, the one place the rules are written. A file's row is the
longest folder of the table that holds it; it may reach its own folder and every path written in backticks
in its row's second column (a folder ending in /, or one file). A CMake file at the top of the tree builds
the programs and counts as app/. Prints FILE:LINE: what, for every violation, and exits 1 if any."""
import os, re, subprocess, sys

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", ".."))


def table(hacking):
    """{folder: [allowed paths]} from the first table under the heading '## Layering'."""
    rows, inside = {}, False
    for line in hacking.splitlines():
        if line.startswith("## "):
            inside = line.strip() == "## Layering"
        elif inside and line.startswith("|"):
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            folder = re.fullmatch(r"`([\w./-]+/)`", cells[0])
            if folder:
                rows[folder.group(1)] = [p for p in re.findall(r"`([^`]+)`", cells[1]) if "/" in p]
        elif inside and rows and not line.startswith("|"):
            break
    return rows


def row_of(path, rows):
    return max((f for f in rows if path.startswith(f)), key=len, default=None)


def allowed(path, target, rows):
    """None if the file at path may reach target, else why not."""
    row = row_of(path, rows)
    if row is None:
        return f"{os.path.dirname(path)}/ has no row in HACKING.md's layering table"
    if os.path.dirname(target) == os.path.dirname(path):
        return None
    if any(target == p or (p.endswith("/") and target.startswith(p)) for p in rows[row]):
        return None
    return f"{target} is not allowed for {row} by HACKING.md's layering table"


def includes(path):
    """(line number, the included file from the top of the tree) for each of ours."""
    here = os.path.dirname(path)
    with open(os.path.join(ROOT, path), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = re.match(r'\s*#\s*include\s*"([^"]+)"', line)
            if not m:
                continue
            for candidate in (os.path.normpath(os.path.join(here, m.group(1))), m.group(1)):
                if os.path.isfile(os.path.join(ROOT, candidate)):
                    yield number, candidate
                    break


SOURCE = re.compile(r"(\$\{CMAKE_(?:SOURCE_DIR|CURRENT_SOURCE_DIR|CURRENT_LIST_DIR)\}/)?([\w./*-]+\.cpp)\b")


def sources(path):
    """(line number, folder of the source) for each .cpp file or *.cpp glob a CMake file names."""
    here = os.path.dirname(path)
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            for base, name in SOURCE.findall(line.split("#")[0]):
                full = os.path.normpath(name if base == "${CMAKE_SOURCE_DIR}/" else os.path.join(here, name))
                yield number, full


def main():
    with open(os.path.join(ROOT, "HACKING.md"), encoding="utf-8") as f:
        rows = table(f.read())
    if not rows:
        print("HACKING.md: no layering table under '## Layering'")
        return 1
    files = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard"], cwd=ROOT,
                           capture_output=True, text=True, check=True).stdout.split()
    faults = []
    for path in files:
        if not os.path.isfile(os.path.join(ROOT, path)):
            continue
        if path.endswith((".cpp", ".h")):
            for number, target in includes(path):
                why = allowed(path, target, rows)
                if why:
                    faults.append(f"{path}:{number}: includes {why}")
        elif os.path.basename(path) == "CMakeLists.txt" or path.endswith(".cmake"):
            as_path = "app/CMakeLists.txt" if path == "CMakeLists.txt" else path
            for number, source in sources(path):
                why = allowed(as_path, source, rows)
                if why:
                    faults.append(f"{path}:{number}: builds {why}")
    print("\n".join(faults) if faults else f"layering: {len(files)} files checked against {len(rows)} rows")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
