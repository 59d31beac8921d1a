#!/usr/bin/python3
"""The best part a tool can leave without cutting below a picture's target surface.

    relief_ideal.py PICTURE --tool flat:D|ball:D|vbit:D:ANGLE --width W [--depth D]
                    --stock XMIN,YMIN,XMAX,YMAX --resolution R [--part PART.pfm]
                    [--score-part PROGRAM-PART.pfm]

The target surface is relief_score.py's. The tool is put down on it from above at every cell
of the grid (R apart, the stock's cells and a tool radius around them): its tip at the highest
height where no point of it lies below the target at a cell (a drop cutter against the grid).
The part is what all those positions leave: at each cell the lowest the tool reached there.
That is the part of a gouge-free finishing with infinitely dense paths (up to the grid's
sampling): the floor of what any gouge-free program with this tool can reach. Prints the
score of that part (relief_score.py's figures; JSON) and, with --score-part, side by side the
score of a simulated program's part on the same grid and the share of its cells that lie
more than 0.01 mm below the ideal part (the program cut where a gouge-free tool cannot).

Needs numpy.
"""

import argparse
import json
import math
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import relief_score  # noqa: E402


def tool_offset(shape, radius, slope, r):
    if shape == "flat":
        return np.zeros_like(r)
    if shape == "ball":
        return radius - np.sqrt(np.maximum(0.0, radius * radius - r * r))
    return r * slope


def parse_tool(text):
    parts = text.split(":")
    shape, diameter = parts[0], float(parts[1])
    angle = float(parts[2]) if shape == "vbit" else 90.0
    slope = 1.0 / math.tan(math.radians(angle) / 2)
    return shape, diameter / 2, slope


def ideal_part(picture, tool, width, depth, stock, resolution):
    shape, radius, slope = parse_tool(tool)
    b = relief_score.brightness(picture)
    rows, cols = b.shape
    pitch = width / (cols - 1)
    # as the machining preview counts its cells: whole cells covering the stock
    nx = int(math.ceil((stock[2] - stock[0]) / resolution * (1 - 1e-12)))
    ny = int(math.ceil((stock[3] - stock[1]) / resolution * (1 - 1e-12)))
    reach = int(math.floor(radius / resolution + 1e-9))
    pad = 2 * reach
    x = stock[0] + (np.arange(-pad, nx + pad) + 0.5) * resolution
    y = stock[1] + (np.arange(-pad, ny + pad) + 0.5) * resolution
    u, v = np.broadcast_arrays((x / pitch)[None, :], (y / pitch)[:, None])
    target = depth * relief_score.bilinear(b, u, v) / 255.0
    offsets = [(dx, dy, float(tool_offset(shape, radius, slope, np.array(math.hypot(dx, dy)
                                                                             * resolution))))
               for dy in range(-reach, reach + 1) for dx in range(-reach, reach + 1)
               if math.hypot(dx, dy) * resolution <= radius + 1e-9]
    h, w = target.shape
    # the tip over each cell of the inner area (pad - reach around the stock)
    tip = np.full((h - 2 * reach, w - 2 * reach), -np.inf)
    for dx, dy, off in offsets:
        tip = np.maximum(tip, target[reach + dy:h - reach + dy, reach + dx:w - reach + dx] - off)
    # what the tips leave over the stock's cells
    part = np.full((ny, nx), np.inf)
    for dx, dy, off in offsets:
        part = np.minimum(part, tip[reach - dy:reach - dy + ny, reach - dx:reach - dx + nx] + off)
    return part


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("picture")
    p.add_argument("--tool", required=True)
    p.add_argument("--width", type=float, required=True)
    p.add_argument("--depth", type=float, default=-3.0)
    p.add_argument("--stock", required=True)
    p.add_argument("--resolution", type=float, required=True)
    p.add_argument("--part", help="write the ideal part to this PFM")
    p.add_argument("--score-part", help="a simulated program's part on the same grid")
    p.add_argument("--offset", default="0,0,0", help="of --score-part, as relief_score.py")
    p.add_argument("--excess", help="save the program's part less the ideal one (.npy)")
    a = p.parse_args(argv)
    if a.depth > 0:
        sys.exit("relief_ideal.py: only reliefs cut downwards (depth < 0)")
    stock = relief_score.numbers(a.stock, 4, "--stock")
    part = ideal_part(a.picture, a.tool, a.width, a.depth, stock, a.resolution)
    if a.part:
        with open(a.part, "wb") as f:
            f.write(f"Pf\n{part.shape[1]} {part.shape[0]}\n-1.0\n".encode())
            f.write(part.astype("<f4").tobytes())
    out = {"ideal": relief_score.score(a.picture, part, stock, a.resolution, a.width, a.depth)}
    if a.score_part:
        # the program's part lies on the same cells, in the program's frame (as
        # relief_quality.py simulates it: the stock less the offset)
        offset = relief_score.numbers(a.offset, 3, "--offset")
        program = relief_score.read_pfm(a.score_part)
        if program.shape != part.shape:
            sys.exit("relief_ideal.py: --score-part is not on the stock's grid")
        moved_stock = [stock[0] - offset[0], stock[1] - offset[1], stock[2] - offset[0],
                       stock[3] - offset[1]]
        out["program"] = relief_score.score(a.picture, program, moved_stock, a.resolution,
                                            a.width, a.depth, offset=offset)
        excess = program + offset[2] - part  # > 0: material the ideal tool would have taken
        out["program_below_ideal_share"] = float((excess < -0.01).sum() / excess.size)
        out["program_above_ideal"] = {
            "rms": float(np.sqrt(np.mean(excess * excess))),
            "share_over_0.02": float((excess > 0.02).sum() / excess.size),
            "share_over_0.05": float((excess > 0.05).sum() / excess.size)}
        if a.excess:
            np.save(a.excess, excess)
    json.dump(out, sys.stdout, indent=1)
    print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
