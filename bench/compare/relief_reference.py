#!/usr/bin/env python3
"""Plain Python rendition of Morvilo's relief generator.

Two jobs:
  * an independent oracle: for a 24-bit BMP and the options of
    `morvilo-cli relief` it writes the same bytes the tool must write;
  * a speed reference: the generator's loops written the obvious way
    (grey value recomputed for every level and sample, one written line per
    run), to give Morvilo's figures a yardstick.

    relief_reference.py PICTURE OUTPUT [--levels N] [--width W] [--distance D]
        [--invert] [--safe Z] [--depth T] [--xstart X] [--ystart Y]
        [--zstart Z] [--decimals N] [--no-range]

Standard library only. Exit status 0 on success, 1 with a message on stderr
otherwise.

Numbers. Morvilo holds the panel values as doubles, except the motif width
W, which enters its two divisions with the full precision of its text, i.e.
as an x87 extended value (64-bit mantissa, what strtold gives); coordinates
are formed in extended precision. Python has no such type, so every value is
carried as an exact Fraction and rounded to 64 significant bits (to nearest,
ties to even) after each operation the generator performs; that reproduces
the long double results bit for bit (the x87 exponent range is never an
issue for values a panel can hold):
  aufl  = trunc(ext(W / d))          W extended, d a double
  scale = double(ext(W / aufl))      a long double quotient stored to a double
  X     = ext(ext(x * scale) + xstart), Y likewise, Z = ext(ext(ext(i * tiefe)
          / abstuf) + zstart)
Rounding the quotient before truncating matters only when the exact quotient
lies within half a long double ulp below an integer; trunc of the exact
quotient agrees in every sane case. W held as a double instead would change
the grid for everyday values (W = 2.2, d = 0.1: 22 columns instead of 21).
Text is formatted from the exact value with halves rounded away from zero.

Coordinates depend only on the column, the row or the level, so their text
is formatted once per column, row and level before the passes (exact
Fraction arithmetic per sample would measure Python's Fraction class rather
than the generator). Everything else runs per sample as the generator does.

Corners the generator's rules leave open are settled as Morvilo settles
them: a grid of a single column (or row) samples column (or row) 0 of the
picture, a grid without columns or rows gives an empty file, and an
picture of a single grey under the range option gives brightness 0 to every
sample (255 when inverted).
"""

import argparse
import sys
from fractions import Fraction


# --- extended-precision emulation -----------------------------------------

def round_bits(q, bits):
    """Round the Fraction q to `bits` significant bits, ties to even."""
    if q == 0:
        return Fraction(0)
    neg = q < 0
    n, d = abs(q.numerator), q.denominator
    # Choose `shift` so that m = n * 2**shift / d lies in [2**(bits-1), 2**bits).
    shift = bits - (n.bit_length() - d.bit_length()) - 1
    while True:
        if shift >= 0:
            num, den = n << shift, d
        else:
            num, den = n, d << -shift
        m, r = divmod(num, den)
        if m >= 1 << bits:
            shift -= 1
        elif m < 1 << (bits - 1):
            shift += 1
        else:
            break
    if 2 * r > den or (2 * r == den and m & 1):
        m += 1
    v = Fraction(m) * (Fraction(2) ** -shift)
    return -v if neg else v


def ext(q):
    """Value of q as an x87 extended-precision number (64-bit mantissa)."""
    return round_bits(q, 64)


def dbl(q):
    """Value of q as an IEEE double."""
    return round_bits(q, 53)


def fixed(v, nach):
    """v (exact) with `nach` decimals, halves away from zero.

    No '-' when the rounded value is zero, no point when nach is 0."""
    scaled = abs(v) * (10 ** nach)
    k = int(scaled)  # floor, scaled >= 0
    if scaled - k >= Fraction(1, 2):
        k += 1
    digits = str(k)
    if nach > 0:
        digits = digits.rjust(nach + 1, "0")
        digits = digits[:-nach] + "." + digits[-nach:]
    if v < 0 and k != 0:
        digits = "-" + digits
    return digits


# --- picture ---------------------------------------------------------------

class PictureError(Exception):
    pass


def read_bmp24(path):
    """Return (width, height, bytew, pixels) of an uncompressed 24-bit BMP.

    `pixels` holds the rows bottom row first, `bytew` bytes apart, 3 bytes
    per pixel (blue, green, red), whichever way round the file stores them."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        raise PictureError(f"cannot read {path}: {e.strerror}")
    le = int.from_bytes
    if len(data) < 54 or data[:2] != b"BM":
        raise PictureError(f"{path}: not a BMP file")
    offbits = le(data[10:14], "little")
    hsize = le(data[14:18], "little")
    if hsize < 40:
        raise PictureError(f"{path}: unsupported BMP header (size {hsize})")
    width = le(data[18:22], "little", signed=True)
    height = le(data[22:26], "little", signed=True)
    planes = le(data[26:28], "little")
    bitcount = le(data[28:30], "little")
    compression = le(data[30:34], "little")
    if bitcount != 24 or compression != 0 or planes != 1:
        raise PictureError(f"{path}: only 24-bit uncompressed BMP is supported")
    topdown = height < 0
    height = abs(height)
    if width <= 0 or height == 0:
        raise PictureError(f"{path}: empty picture")
    bytew = (width * 3 + 3) // 4 * 4
    end = offbits + bytew * height
    if end > len(data):
        raise PictureError(f"{path}: truncated pixel data")
    pixels = data[offbits:end]
    if topdown:
        pixels = b"".join(pixels[r * bytew:(r + 1) * bytew]
                          for r in range(height - 1, -1, -1))
    return width, height, bytew, pixels


# --- generator -------------------------------------------------------------

def generate(picture, output, levels=16, width="10", distance=0.05,
             invert=False, safe=-1.0, depth=1.0, xstart=0.0, ystart=0.0,
             zstart=0.0, decimals=4, use_range=True):
    """Write the relief program of `picture` to `output`.

    `width` is the text of W (or a number); the other reals are doubles."""
    pw, ph, bytew, pix = read_bmp24(picture)

    nach = min(decimals, 18)
    sicher, tiefe = Fraction(safe), Fraction(depth)
    fx0, fy0, fz0 = Fraction(xstart), Fraction(ystart), Fraction(zstart)
    abstuf = levels - 1
    W = ext(Fraction(width))
    aufl = int(ext(W / Fraction(distance)))  # int() truncates
    aufly = ph * aufl // pw

    if aufl == 0 or aufly == 0:
        open(output, "wb").close()
        return
    scale = dbl(ext(W / aufl))

    # Source byte offset of every grid column and every grid row.
    colsrc = [(pw - 1) * x // (aufl - 1) * 3 if aufl > 1 else 0 for x in range(aufl)]
    rowsrc = [(ph - 1) * y // (aufly - 1) * bytew if aufly > 1 else 0 for y in range(aufly)]

    if use_range:
        minc, maxc = 255, 0
        for base in rowsrc:
            for c in colsrc:
                o = base + c
                grey = (30 * pix[o + 2] + 59 * pix[o + 1] + 11 * pix[o]) // 100
                if grey < minc:
                    minc = grey
                if grey > maxc:
                    maxc = grey
    else:
        minc, maxc = 0, 255
    # With the range, brightness runs from the darkest sample (0) to the brightest (255);
    # a picture of one grey is 0 everywhere. Without it the grey itself counts.
    span = maxc - minc

    xs = [fixed(ext(ext(x * scale) + fx0), nach) for x in range(aufl)]
    ys = [fixed(ext(ext(y * scale) + fy0), nach) for y in range(aufly)]
    zs = [fixed(ext(ext(ext(i * tiefe) / abstuf) + fz0), nach)
          for i in range(levels)]
    retract = "\rG0 Z" + fixed(sicher, nach) + "\r\n"

    with open(output, "wb", buffering=1 << 20) as out:
        for i in range(abstuf + 1):
            plunge = "\rG1 Z" + zs[i] + "\rG1 X"
            for y in range(aufly):
                base = rowsrc[y]
                ty = " Y" + ys[y]
                parts = []
                oldwas = False
                firstx = 0
                for x in range(aufl):
                    o = base + colsrc[x]
                    grey = (30 * pix[o + 2] + 59 * pix[o + 1] + 11 * pix[o]) // 100
                    b = (grey - minc) * 255 // span if span > 0 else 0
                    if invert:
                        b = 255 - b
                    if b * abstuf // 255 >= i:
                        if not oldwas:
                            firstx = x
                        was = True
                    else:
                        if oldwas:
                            parts.append("G0 X" + xs[firstx] + ty + plunge
                                         + xs[x - 1] + ty + retract)
                        was = False
                    oldwas = was
                if oldwas:
                    parts.append("G0 X" + xs[firstx] + ty + plunge
                                 + xs[aufl - 1] + ty + retract)
                if parts:
                    out.write("".join(parts).encode("ascii"))


# --- command line ----------------------------------------------------------

def width_text(text):
    """W stays text until it is rounded once, to extended precision."""
    try:
        if "/" in text:
            raise ValueError
        Fraction(text.strip())
    except (ValueError, ZeroDivisionError):
        raise argparse.ArgumentTypeError(f"not a number: {text!r}")
    return text.strip()


def main(argv=None):
    p = argparse.ArgumentParser(
        prog="relief_reference.py",
        description="Reference relief G-code generator (same options as morvilo-cli relief).")
    p.add_argument("picture")
    p.add_argument("output")
    p.add_argument("--levels", type=int, default=16)
    p.add_argument("--width", type=width_text, default="10")
    p.add_argument("--distance", type=float, default=0.05)
    p.add_argument("--invert", action="store_true")
    p.add_argument("--safe", type=float, default=-1.0)
    p.add_argument("--depth", type=float, default=1.0)
    p.add_argument("--xstart", type=float, default=0.0)
    p.add_argument("--ystart", type=float, default=0.0)
    p.add_argument("--zstart", type=float, default=0.0)
    p.add_argument("--decimals", type=int, default=4)
    p.add_argument("--no-range", action="store_true")
    a = p.parse_args(argv)

    if not 2 <= a.levels <= 256:
        p.error("--levels must be 2 ... 256")
    if not 0.0001 <= Fraction(a.width) <= 100000:
        p.error("--width must be 0.0001 ... 100000")
    if not 0.0001 <= a.distance <= 100000:
        p.error("--distance must be 0.0001 ... 100000")
    if not 0 <= a.decimals <= 20:
        p.error("--decimals must be 0 ... 20")
    try:
        generate(a.picture, a.output, levels=a.levels, width=a.width,
                 distance=a.distance, invert=a.invert, safe=a.safe,
                 depth=a.depth, xstart=a.xstart, ystart=a.ystart,
                 zstart=a.zstart, decimals=a.decimals,
                 use_range=not a.no_range)
    except PictureError as e:
        print(f"relief_reference.py: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
