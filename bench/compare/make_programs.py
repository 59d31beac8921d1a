#!/usr/bin/env python3
"""Writes the programs the interpreter comparison runs, in Morvilo's form and in the form the
peers read (LF line ends, a header with units, mode and feed, a final M2).

    make_programs.py FOLDER [--relief-lines N] [--arc-lines N]

relief.nc      N lines of relief output (default 1,000,000; four lines per group joined by CR,
               the group ended by CR LF)
arcs.nc        N blocks (default 200,000): straight moves, I/J arcs and R arcs in turn
*.peer.nc      the same programs for rs274 and gcode-toolpath

Prints "NAME LINES lines" for each program.
"""

import argparse
import os


def relief(groups):
    for k in range(groups):
        y = (k % 2000) * 0.05
        x0 = (k % 37) * 0.05
        x1 = x0 + 1 + (k % 101) * 0.05
        z = -(k % 16) * 0.0625
        yield "G0 X%.4f Y%.4f\rG1 Z%.4f\rG1 X%.4f Y%.4f\rG0 Z-1.0000\r\n" % (x0, y, z, x1, y)


def arcs(quads):
    x = 0.0
    for _ in range(quads):
        yield ("G1 X%.3f Y0 F1000\r\nG2 X%.3f Y0 I2.5 J0\r\nG3 X%.3f Y0 R2.6\r\nG1 X%.3f Y1\r\n"
               % (x, x + 5, x + 10, x + 10))
        x = x + 10 if x < 490 else 0.0


def write(folder, name, pieces):
    lines = 0
    with open(os.path.join(folder, name + ".nc"), "w", newline="") as own, \
            open(os.path.join(folder, name + ".peer.nc"), "w", newline="") as peer:
        peer.write("G21 G90 G94 F1000\n")
        chunk = []
        for piece in pieces:
            chunk.append(piece)
            if len(chunk) == 10000:
                text = "".join(chunk)
                own.write(text)
                peer.write(text.replace("\r\n", "\n").replace("\r", "\n"))
                lines += text.count("\n") + text.count("\r") - text.count("\r\n")
                chunk = []
        text = "".join(chunk)
        own.write(text)
        peer.write(text.replace("\r\n", "\n").replace("\r", "\n") + "M2\n")
        lines += text.count("\n") + text.count("\r") - text.count("\r\n")
    print(name, lines, "lines")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder")
    parser.add_argument("--relief-lines", type=int, default=1000000)
    parser.add_argument("--arc-lines", type=int, default=200000)
    args = parser.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    write(args.folder, "relief", relief(max(1, args.relief_lines // 4)))
    write(args.folder, "arcs", arcs(max(1, args.arc_lines // 4)))


if __name__ == "__main__":
    main()
