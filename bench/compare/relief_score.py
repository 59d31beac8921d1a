#!/usr/bin/python3
"""Score a simulated relief against the surface its picture asks for.

    relief_score.py PICTURE PART.pfm --stock XMIN,YMIN,XMAX,YMAX --resolution R
                    --width W [--depth D] [--xstart X] [--ystart Y] [--zstart Z]
                    [--invert] [--no-range] [--offset DX,DY,DZ]
                    [--tolerance T] [--within E] [--json]

PART.pfm is the height map `morvilo-cli simulate --heightmap` writes for the stock and
resolution given here: cell (i, j) centred at (XMIN + (i + 1/2) R, YMIN + (j + 1/2) R), row
j = 0 first, heights with Z up (the tool cuts downwards into the stock).

The target surface: the picture of C x R pixels upright seen from above, pixel pitch
p = W / (C - 1); the centre of pixel column c (left to right) and pixel row r (counted from
the bottom row up) lies at X = xstart + c p, Y = ystart + r p. Its brightness b is the grey
value (30 R + 59 G + 11 B) div 100; with the brightness range on (the default)
b = (grey - min) / (max - min) x 255 over all pixels (max = min: b = 0); inverted with
--invert (b = 255 - b). Between pixel centres b is interpolated bilinearly and held constant
beyond the outermost centres; the height is Z = zstart + D b / 255. D is negative when the
relief is cut downwards into a stock whose top is zstart (default D = -3).

--offset DX,DY,DZ moves the part before it is scored (a program written in another frame:
its point (x, y, z) is the target frame's (x + DX, y + DY, z + DZ)).

Only cells whose centres lie on the picture (between its outermost pixel centres) count:

    gouge      cells more than T (0.01 mm) below the target; at a wall (where the target
               within one pixel pitch, the square of half side p around the cell, spans more
               than p in height: steeper than 45 degrees) below the lowest target within
               that square, as a wall's position within a pixel is no gouge; share of the
               cells and the worst depth
    strict     cells more than T below the target at the cell itself (share)
    rms        root mean square of part - target
    within     share of cells with |part - target| <= E (0.05 mm)
    left       the most material left above the target
    inner      RMS and within over the cells at least --margin (0.5 mm, a 1 mm tool's radius)
               inside the outermost pixel centres: a program that leaves the border strip a
               tool radius wide uncut (image-to-gcode does) is judged on the rest

Needs numpy. Reads 24-bit uncompressed BMPs itself; other pictures through PIL if present.
"""

import argparse
import json
import re
import sys

import numpy as np


def read_picture_rgb(path):
    """(R, G, B) arrays of shape (rows, columns), row 0 the BOTTOM row of the picture."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] == b"BM" and len(data) >= 54:
        offset = int.from_bytes(data[10:14], "little")
        width = int.from_bytes(data[18:22], "little", signed=True)
        height = int.from_bytes(data[22:26], "little", signed=True)
        bits = int.from_bytes(data[28:30], "little")
        compression = int.from_bytes(data[30:34], "little")
        if bits == 24 and compression == 0 and width > 0 and height != 0:
            stride = (width * 3 + 3) // 4 * 4
            rows = abs(height)
            raw = np.frombuffer(data, np.uint8, stride * rows, offset).reshape(rows, stride)
            px = raw[:, :width * 3].reshape(rows, width, 3).astype(np.int64)
            if height < 0:  # stored top row first
                px = px[::-1]
            return px[:, :, 2], px[:, :, 1], px[:, :, 0]
    try:
        from PIL import Image
    except ImportError:
        sys.exit(f"relief_score.py: {path}: not a 24-bit BMP and no PIL to read it")
    im = np.asarray(Image.open(path).convert("RGB")).astype(np.int64)[::-1]
    return im[:, :, 0], im[:, :, 1], im[:, :, 2]


def brightness(path, brightness_range=True, invert=False):
    r, g, b = read_picture_rgb(path)
    grey = (30 * r + 59 * g + 11 * b) // 100
    if brightness_range:
        lo, hi = int(grey.min()), int(grey.max())
        value = (grey - lo) * 255.0 / (hi - lo) if hi > lo else np.zeros(grey.shape)
    else:
        value = grey.astype(np.float64)
    return 255.0 - value if invert else value


def bilinear(b, u, v):
    """b at fractional column u and row v (arrays), held constant beyond the border."""
    rows, cols = b.shape
    u = np.clip(u, 0, cols - 1)
    v = np.clip(v, 0, rows - 1)
    i = np.minimum(np.floor(u).astype(np.int64), max(cols - 2, 0))
    j = np.minimum(np.floor(v).astype(np.int64), max(rows - 2, 0))
    fu, fv = u - i, v - j
    i1, j1 = np.minimum(i + 1, cols - 1), np.minimum(j + 1, rows - 1)
    return ((b[j, i] * (1 - fu) + b[j, i1] * fu) * (1 - fv)
            + (b[j1, i] * (1 - fu) + b[j1, i1] * fu) * fv)


def extremes_nearby(b, u, v):
    """The least and the largest b over the square [u-1, u+1] x [v-1, v+1]. A bilinear surface
    takes its extremes over a rectangle at the corners of its pieces: the square's corners and
    the pixel centres between them."""
    def candidates(w):
        first = np.floor(w - 1) + 1  # the first pixel centre inside (w-1, w+1]
        return [w - 1, w + 1] + [np.minimum(first + k, w + 1) for k in range(3)]
    low = high = None
    for cu in candidates(u):
        for cv in candidates(v):
            value = bilinear(b, cu, cv)
            low = value if low is None else np.minimum(low, value)
            high = value if high is None else np.maximum(high, value)
    return low, high


def read_pfm(path):
    with open(path, "rb") as f:
        data = f.read()
    # "Pf", the size and the scale, each followed by one whitespace character
    m = re.match(rb"Pf\s+(\d+)\s+(\d+)\s+(\S+)\s", data)
    if not m:
        sys.exit(f"relief_score.py: {path}: not a grey PFM")
    cols, rows, scale = int(m.group(1)), int(m.group(2)), float(m.group(3))
    raw = data[m.end():]
    dtype = "<f4" if scale < 0 else ">f4"
    if len(raw) < rows * cols * 4:
        sys.exit(f"relief_score.py: {path}: {len(raw)} bytes of data for {cols} x {rows}")
    return np.frombuffer(raw, dtype, rows * cols).reshape(rows, cols).astype(np.float64)


def score(picture, part, stock, resolution, width, depth=-3.0, xstart=0.0, ystart=0.0,
          zstart=0.0, invert=False, brightness_range=True, offset=(0.0, 0.0, 0.0),
          tolerance=0.01, within=0.05, margin=0.5):
    b = brightness(picture, brightness_range, invert)
    rows, cols = b.shape
    if cols < 2:
        sys.exit("relief_score.py: the picture needs at least two columns")
    pitch = width / (cols - 1)
    heights = read_pfm(part) if isinstance(part, str) else part
    ny, nx = heights.shape
    xmin, ymin = stock[0], stock[1]
    x = xmin + (np.arange(nx) + 0.5) * resolution + offset[0]
    y = ymin + (np.arange(ny) + 0.5) * resolution + offset[1]
    inside_x = (x >= xstart - 1e-9) & (x <= xstart + (cols - 1) * pitch + 1e-9)
    inside_y = (y >= ystart - 1e-9) & (y <= ystart + (rows - 1) * pitch + 1e-9)
    if not inside_x.any() or not inside_y.any():
        sys.exit("relief_score.py: no cell of the part lies on the picture")
    u = ((x[inside_x] - xstart) / pitch)[None, :]
    v = ((y[inside_y] - ystart) / pitch)[:, None]
    u, v = np.broadcast_arrays(u, v)
    part_z = heights[np.ix_(inside_y, inside_x)] + offset[2]
    target = zstart + depth * bilinear(b, u, v) / 255.0
    low, high = extremes_nearby(b, u, v)
    down = -1.0 if depth <= 0 else 1.0  # which way the tool cuts into the material
    lowest = zstart + depth * (high if depth <= 0 else low) / 255.0
    # a wall: the target within one pixel pitch spans more than one pixel pitch (steeper
    # than 45 degrees on average); there the lowest target nearby counts
    wall = np.abs(depth) * (high - low) / 255.0 > pitch
    error = (part_z - target) * -down  # > 0: material left, < 0: cut too deep
    gouge = (part_z - np.where(wall, lowest, target)) * -down
    n = error.size
    gouged = gouge < -tolerance
    # the cells at least margin inside the picture's outermost pixel centres
    xs, ys = x[inside_x][None, :], y[inside_y][:, None]
    inner = ((xs >= xstart + margin) & (xs <= xstart + (cols - 1) * pitch - margin)
             & (ys >= ystart + margin) & (ys <= ystart + (rows - 1) * pitch - margin))
    inner_error = error[inner] if inner.any() else error
    return dict(
        cells=int(n),
        wall_share=float(wall.sum() / n),
        gouge_share=float(gouged.sum() / n),
        gouge_worst=float(max(0.0, -gouge.min())),
        strict_share=float((error < -tolerance).sum() / n),
        rms=float(np.sqrt(np.mean(error * error))),
        within_share=float((np.abs(error) <= within).sum() / n),
        left_most=float(max(0.0, error.max())),
        rms_inner=float(np.sqrt(np.mean(inner_error * inner_error))),
        within_inner=float((np.abs(inner_error) <= within).sum() / inner_error.size),
    )


def numbers(text, count, name):
    try:
        values = [float(t) for t in text.split(",")]
    except ValueError:
        values = []
    if len(values) != count:
        sys.exit(f"relief_score.py: {name} takes {count} numbers separated by commas")
    return values


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("picture")
    p.add_argument("part")
    p.add_argument("--stock", required=True, help="XMIN,YMIN,XMAX,YMAX[,ZTOP] of the simulation")
    p.add_argument("--resolution", type=float, required=True)
    p.add_argument("--width", type=float, required=True)
    p.add_argument("--depth", type=float, default=-3.0)
    p.add_argument("--xstart", type=float, default=0.0)
    p.add_argument("--ystart", type=float, default=0.0)
    p.add_argument("--zstart", type=float, default=0.0)
    p.add_argument("--invert", action="store_true")
    p.add_argument("--no-range", action="store_true")
    p.add_argument("--offset", default="0,0,0")
    p.add_argument("--tolerance", type=float, default=0.01)
    p.add_argument("--within", type=float, default=0.05)
    p.add_argument("--margin", type=float, default=0.5)
    p.add_argument("--json", action="store_true")
    a = p.parse_args(argv)
    stock = a.stock.split(",")
    s = score(a.picture, a.part, numbers(",".join(stock[:4]), 4, "--stock"), a.resolution,
              a.width, a.depth, a.xstart, a.ystart, a.zstart, a.invert, not a.no_range,
              numbers(a.offset, 3, "--offset"), a.tolerance, a.within, a.margin)
    if a.json:
        print(json.dumps(s))
    else:
        print(f"cells {s['cells']}, gouged {100 * s['gouge_share']:.2f} % "
              f"(worst {s['gouge_worst']:.3f} mm; strictly {100 * s['strict_share']:.2f} %), "
              f"RMS {s['rms']:.4f} mm, within {a.within} mm {100 * s['within_share']:.1f} %, "
              f"most left {s['left_most']:.3f} mm; {a.margin} mm inside the border: "
              f"RMS {s['rms_inner']:.4f} mm, within {100 * s['within_inner']:.1f} %")
    return 0


if __name__ == "__main__":
    sys.exit(main())
