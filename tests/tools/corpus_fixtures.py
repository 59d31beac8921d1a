#!/usr/bin/env python3
"""Writes the expected moves of the backplot corpus with LinuxCNC's rs274 (Debian package
linuxcnc-uspace).

For every program NAME.nc in tests/interpreter/corpus/ this runs `rs274 -g` on NAME.rs274.ngc
when that file exists (a LinuxCNC twin of a program written in the Fanuc macro dialect, which
rs274 does not read) and on NAME.nc otherwise, and writes NAME.moves: one line per canonical
move, its end point and, for arcs, the centre, all in the work coordinates in force at the end
of the program (the backplot re-expresses everything it drew in those):

    L x y z                 straight traverse or feed
    A plane x y z cu cv s   arc or helix in plane 17, 18 or 19, centre in that plane's
                            (u, v) frame: (X, Y), (X, Z) or (Y, Z), and the angle s in degrees
                            it sweeps in that frame (positive counter-clockwise, whole turns
                            included)

Usage: tests/tools/corpus_fixtures.py [CORPUS_FOLDER]   (needs rs274 on PATH)
"""

import math
import pathlib
import re
import subprocess
import sys

CALL = re.compile(r"^\s*\d+\s+N\S*\s+([A-Z_0-9]+)\((.*)\)\s*$")


def numbers(text):
    return [float(v) for v in text.split(",") if v.strip()]


def sweep(plane, start, end, centre, turn):
    """The angle the arc sweeps in the (u, v) frame. rs274 turns in its canonical frame,
    (Z, X) for the XZ plane, which is the (X, Z) frame mirrored."""
    u, v = {17: (0, 1), 18: (0, 2), 19: (1, 2)}[plane]
    a0 = math.atan2(start[v] - centre[v], start[u] - centre[u])
    a1 = math.atan2(end[v] - centre[v], end[u] - centre[u])
    if plane == 18:  # into the canonical frame: angles change sign
        a0, a1 = -a0, -a1
    if turn > 0:
        d = (a1 - a0) % (2 * math.pi)
        if d < 1e-9:
            d = 2 * math.pi
        d += (turn - 1) * 2 * math.pi
    else:
        d = (a0 - a1) % (2 * math.pi)
        if d < 1e-9:
            d = 2 * math.pi
        d = -(d + (-turn - 1) * 2 * math.pi)
    return math.degrees(-d if plane == 18 else d)


def moves_of(program):
    run = subprocess.run(["rs274", "-g", str(program)], capture_output=True, text=True,
                         timeout=60, stdin=subprocess.DEVNULL)
    plane = 17
    g5x = [0.0] * 3
    g92 = [0.0] * 3
    before_reset = g5x
    raw = []  # (kind, plane, machine end, machine centre, turns)
    for line in run.stdout.splitlines():
        m = CALL.match(line)
        if not m:
            continue
        name, args = m.group(1), m.group(2)
        if name == "SELECT_PLANE":
            plane = {"CANON_PLANE_XY": 17, "CANON_PLANE_XZ": 18, "CANON_PLANE_YZ": 19}[args.strip()]
        elif name == "SET_G5X_OFFSET":
            # M2 and M30 go back to G54 before the program ends; the backplot keeps the
            # system in force, so the last of these (that reset) does not count.
            before_reset = g5x
            g5x = numbers(args)[1:4]
        elif name == "SET_G92_OFFSET":
            g92 = numbers(args)[0:3]
        elif name in ("STRAIGHT_TRAVERSE", "STRAIGHT_FEED"):
            v = numbers(args)
            shift = [g5x[k] + g92[k] for k in range(3)]
            raw.append(("L", plane, [v[k] + shift[k] for k in range(3)], None, 0))
        elif name == "ARC_FEED":
            v = numbers(args)
            first_end, second_end, first_c, second_c, _turn, axis_end = v[:6]
            if plane == 17:
                end, centre = [first_end, second_end, axis_end], [first_c, second_c, 0.0]
            elif plane == 18:  # first Z, second X, axis Y
                end, centre = [second_end, axis_end, first_end], [second_c, 0.0, first_c]
            else:  # first Y, second Z, axis X
                end, centre = [axis_end, first_end, second_end], [0.0, first_c, second_c]
            shift = [g5x[k] + g92[k] for k in range(3)]
            raw.append(("A", plane, [end[k] + shift[k] for k in range(3)],
                        [centre[k] + shift[k] for k in range(3)], int(_turn)))
    if run.returncode != 0 or "PROGRAM_END" not in run.stdout:
        raise SystemExit(f"{program}: rs274 did not reach the program end:\n{run.stdout[-2000:]}")
    final = [before_reset[k] + g92[k] for k in range(3)]
    out = []
    position = [0.0] * 3
    for kind, plane, end, centre, turn in raw:
        start, position = position, end
        e = [end[k] - final[k] for k in range(3)]
        if kind == "L":
            out.append("L %.4f %.4f %.4f" % tuple(e))
        else:
            c = [centre[k] - final[k] for k in range(3)]
            u, v = {17: (0, 1), 18: (0, 2), 19: (1, 2)}[plane]
            out.append("A %d %.4f %.4f %.4f %.4f %.4f %.3f" %
                       (plane, *e, c[u], c[v], sweep(plane, start, end, centre, turn)))
    return out


def main():
    folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                          pathlib.Path(__file__).resolve().parents[1] / "interpreter" / "corpus")
    for program in sorted(folder.glob("*.nc")):
        twin = program.with_suffix(".rs274.ngc")
        moves = moves_of(twin if twin.exists() else program)
        program.with_suffix(".moves").write_text("\n".join(moves) + "\n")
        print(f"{program.name}: {len(moves)} moves")


if __name__ == "__main__":
    main()
