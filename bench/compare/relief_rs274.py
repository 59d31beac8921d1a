#!/usr/bin/env python3
"""The relief program dressed for LinuxCNC, run through LinuxCNC's own interpreter.

    relief_rs274.py [PICTURE] [-- RELIEF OPTIONS...]
    relief_rs274.py --write-fixture DIR

Writes PICTURE's relief program twice with `morvilo-cli relief`: as the bare
paths (profile plain) and dressed for LinuxCNC (profile linuxcnc), runs the
dressed one through `rs274 -g` (Debian package linuxcnc-uspace) and checks
  * that rs274 reads it to the end without an error (exit status 0,
    PROGRAM_END() among the canonical calls), and
  * that its canonical moves cut exactly the runs of the bare program: every
    STRAIGHT_FEED that follows a STRAIGHT_FEED (the plunge) is a cut, and the
    cuts, in order, are the bare program's "G1 X.. Y.." lines at the level of
    their plunge.
Prints the command, rs274's status, the number of canonical moves and of
cuts compared; exit status 0 when all agree, 1 otherwise, 77 when rs274 is
not installed.

PICTURE defaults to the bundled sample data/sample-logo.png; the relief
options default to a machine-safe set (safe Z 5, depth -1; the rest the
panel's start-up values). MORVILO_CLI=PATH uses another build.

--write-fixture DIR writes the fixture of the relief tests: the dressed
program of tests/relief/pictures/bmp24.bmp (fixture.nc) and rs274's
canonical calls for it (fixture.canon), after the same checks. The tests
regenerate fixture.nc byte for byte and compare the cuts in fixture.canon
with the bare program, so `scripts/test` needs no LinuxCNC.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
CLI = os.environ.get("MORVILO_CLI", os.path.join(ROOT, "build", "bin", "morvilo-cli"))
SAFE_OPTIONS = ["--safe", "5", "--depth", "-1"]
# The fixture's options; tests/relief/machineprofile_test.cpp uses the same.
FIXTURE_OPTIONS = ["--levels", "6", "--width", "5.5", "--distance", "0.25", "--safe", "3",
                   "--depth", "-2", "--xstart", "-1", "--ystart", "2", "--decimals", "4"]

CALL = re.compile(r"^\s*\d+\s+N\.+\s+(\w+)\((.*)\)\s*$")


def relief(picture, output, options, profile):
    command = [CLI, "relief", picture, output, "--profile", profile] + options
    subprocess.run(command, check=True)
    return command


def bare_cuts(path):
    """(z, x0, y, x1) of every group of the bare program, in order."""
    text = open(path, "rb").read().decode("ascii")
    cuts = []
    for group in text.split("\r\n"):
        if not group:
            continue
        approach, plunge, cut, _ = group.split("\r")
        x0, y = (float(w[1:]) for w in approach.split()[1:3])
        z = float(plunge.split()[1][1:])
        x1, y1 = (float(w[1:]) for w in cut.split()[1:3])
        cuts.append((z, x0, y, x1))
    return cuts


def canon_cuts(canon):
    """The cuts rs274 makes, and the number of canonical moves."""
    moves, cuts, previous, position = 0, [], None, None
    for line in canon.splitlines():
        m = CALL.match(line)
        if not m or m.group(1) not in ("STRAIGHT_TRAVERSE", "STRAIGHT_FEED"):
            continue
        moves += 1
        point = tuple(float(v) for v in m.group(2).split(",")[:3])
        if m.group(1) == "STRAIGHT_FEED" and previous == "STRAIGHT_FEED":
            cuts.append((point[2], position[0], position[1], point[0]))
            if position[1] != point[1] or position[2] != point[2]:
                raise SystemExit(f"a cut that is not along X: {position} -> {point}")
        previous, position = m.group(1), point
    return cuts, moves


def check(picture, options, workdir):
    bare = os.path.join(workdir, "bare.nc")
    dressed = os.path.join(workdir, "dressed.nc")
    canon_path = os.path.join(workdir, "dressed.canon")
    relief(picture, bare, options, "plain")
    command = relief(picture, dressed, options, "linuxcnc")
    run = subprocess.run(["rs274", "-g", dressed, canon_path], capture_output=True, text=True)
    canon = open(canon_path).read() if os.path.exists(canon_path) else ""
    print("$ " + " ".join(command))
    print(f"$ rs274 -g {dressed} {canon_path}: exit status {run.returncode}")
    ok = run.returncode == 0 and "PROGRAM_END()" in canon
    if not ok:
        print("rs274 did not read the program to its end:\n" + run.stdout + run.stderr)
    cuts, moves = canon_cuts(canon)
    expected = bare_cuts(bare)
    print(f"canonical moves: {moves}, cuts: {len(cuts)}, runs of the bare program: {len(expected)}")
    if cuts != expected:
        ok = False
        for n, (a, b) in enumerate(zip(cuts, expected)):
            if a != b:
                print(f"cut {n + 1}: rs274 {a}, bare program {b}")
                break
    print("agree" if ok else "DIFFER")
    return ok, dressed, canon_path


def main(argv):
    if shutil.which("rs274") is None:
        print("rs274 is not installed (Debian package linuxcnc-uspace)", file=sys.stderr)
        return 77
    with tempfile.TemporaryDirectory() as workdir:
        if argv[:1] == ["--write-fixture"]:
            picture = os.path.join(ROOT, "tests", "relief", "pictures", "bmp24.bmp")
            ok, dressed, canon = check(picture, FIXTURE_OPTIONS, workdir)
            if ok:
                shutil.copy(dressed, os.path.join(argv[1], "fixture.nc"))
                shutil.copy(canon, os.path.join(argv[1], "fixture.canon"))
            return 0 if ok else 1
        picture = argv[0] if argv and argv[0] != "--" else os.path.join(ROOT, "data",
                                                                        "sample-logo.png")
        options = argv[argv.index("--") + 1:] if "--" in argv else SAFE_OPTIONS
        return 0 if check(picture, options, workdir)[0] else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
