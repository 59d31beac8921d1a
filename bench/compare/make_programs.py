#!/usr/bin/env python3
"""Writes the programs the interpreter comparison runs, in Morvilo's form and in the form the
peers read (LF line ends, a header with units, mode and feed, a final M2).

    make_programs.py FOLDER

relief.nc      1,000,000 lines of relief output (four lines per group joined by CR, CR LF)
arcs.nc        200,000 blocks: straight moves, I/J arcs and R arcs in turn
*.peer.nc      the same programs for rs274 and gcode-toolpath
"""

import os
import sys

folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)


def relief():
    groups = []
    for k in range(250000):
        y = (k % 2000) * 0.05
        x0 = (k % 37) * 0.05
        x1 = x0 + 1 + (k % 101) * 0.05
        z = -(k % 16) * 0.0625
        groups.append("G0 X%.4f Y%.4f\rG1 Z%.4f\rG1 X%.4f Y%.4f\rG0 Z-1.0000\r\n" % (x0, y, z, x1, y))
    return "".join(groups)


def arcs():
    blocks = []
    x = 0.0
    for k in range(50000):
        blocks.append("G1 X%.3f Y0 F1000\r\n" % x)
        blocks.append("G2 X%.3f Y0 I2.5 J0\r\n" % (x + 5))
        blocks.append("G3 X%.3f Y0 R2.6\r\n" % (x + 10))
        blocks.append("G1 X%.3f Y1\r\n" % (x + 10))
        x = x + 10 if x < 490 else 0.0
    return "".join(blocks)


for name, text in (("relief", relief()), ("arcs", arcs())):
    with open(os.path.join(folder, name + ".nc"), "w", newline="") as f:
        f.write(text)
    peer = text.replace("\r\n", "\n").replace("\r", "\n")
    with open(os.path.join(folder, name + ".peer.nc"), "w", newline="") as f:
        f.write("G21 G90 G94 F1000\n" + peer + "M2\n")
    print(name, text.count("\n") + text.count("\r") - text.count("\r\n"), "lines")
