#!/usr/bin/python3
"""Run LinuxCNC's image-to-gcode on a picture without its Tk dialog.

    image_to_gcode_driver.py PICTURE OUTPUT [--pixel-size MM] [--depth MM]
        [--tool-diameter MM] [--tool-type ball|flat|v30|v45|v60] [--pixelstep N]
        [--pattern rows|columns|rows-columns|columns-rows] [--invert]
        [--tolerance MM] [--safety-height MM] [--script PATH]

image-to-gcode is a script without a .py suffix: it is loaded as a module, its
options dialog `ui()` is replaced by a function returning a fixed options
dictionary, and its `main()` runs on PICTURE with the G-code going to OUTPUT
(the script writes through sys.stdout).

Fixed options, chosen to make it mill the same grid as Morvilo's relief at
one path per pixel row: millimetres, rows only (one direction), a flat end
mill, no normalisation, no border, no roughing pass. With the defaults
(pixel size 0.1 mm, step 1 pixel, 0.2 mm tool = 2 x 2 pixels, the smallest
tool it builds) every pixel of the picture is a grid sample 0.1 mm apart.
The options change the tool (--tool-type: its menu's ball end, flat end and
the cones whose flank rises at 30, 45 or 60 degrees: v60 is a 60-degree V-bit,
v45 a 90-degree one), the scan pattern (every --pixelstep pixel rows), the
depth's direction (--invert: bright pixels deepest), the path tolerance and
the safety height.

Where it puts the picture: with a tool of n = round(D / pixel size) pixels
(at least 2), the tool's centre over pixel column c (from the left) and pixel
row r (from the bottom) is written at X = (c - n/2) * pixel size,
Y = (r - n/2 + 1) * pixel size (n/2 as a real number); Z 0 is the picture's
black (its white with --invert), Z -depth its white (black), and the tool's
centre only visits the pixels at least n/2 from the picture's border.

Needs Debian's python3 with the modules image-to-gcode imports (numpy, PIL,
rs274): they come with the package linuxcnc-uspace.
"""

import argparse
import importlib.machinery
import shutil
import sys
import types


def load_script(path):
    # The script derives its data folders from sys.argv[0] when it is loaded.
    sys.argv[0] = path
    loader = importlib.machinery.SourceFileLoader("image_to_gcode", path)
    module = types.ModuleType("image_to_gcode")
    module.__file__ = path
    module.__loader__ = loader
    loader.exec_module(module)
    return module


# The entries of the script's option menus, in their order.
TOOL_TYPES = ["ball", "flat", "v30", "v45", "v60"]
PATTERNS = ["rows", "columns", "rows-columns", "columns-rows"]


def options(args):
    # Keys and value kinds as the script's dialog returns them (indices for
    # its option menus, numbers for its entries, booleans for its checks).
    return dict(
        units=1,              # G21 (mm)
        invert=args.invert,
        normalize=False,
        expand=0,             # no border
        tolerance=args.tolerance,  # path simplification tolerance, G64 P (mm)
        pixel_size=args.pixel_size,
        feed_rate=1000.0,
        plunge_feed_rate=300.0,
        spindle_speed=10000.0,
        pattern=PATTERNS.index(args.pattern),
        converter=0,          # positive direction
        depth=args.depth,
        pixelstep=args.pixelstep,
        tool_diameter=args.tool_diameter,
        safety_height=args.safety_height,
        tool_type=TOOL_TYPES.index(args.tool_type),
        bounded=0,
        contact_angle=45.0,
        roughing_offset=0.0,  # no roughing pass
        roughing_depth=0.25,
    )


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("picture")
    p.add_argument("output")
    p.add_argument("--pixel-size", type=float, default=0.1)
    p.add_argument("--depth", type=float, default=1.0)
    p.add_argument("--tool-diameter", type=float, default=0.2)
    p.add_argument("--tool-type", choices=TOOL_TYPES, default="flat")
    p.add_argument("--pixelstep", type=int, default=1)
    p.add_argument("--pattern", choices=PATTERNS, default="rows")
    p.add_argument("--invert", action="store_true", help="bright pixels deepest")
    p.add_argument("--tolerance", type=float, default=0.001)
    p.add_argument("--safety-height", type=float, default=1.0)
    p.add_argument("--script", default=shutil.which("image-to-gcode") or "/usr/bin/image-to-gcode")
    p.add_argument("--print-options", action="store_true",
                   help="print the fixed options and exit")
    p.add_argument("--print-offset", action="store_true",
                   help="print DX,DY,DZ: where a program point (x, y, z) lies in the frame of "
                        "the picture's pixel centres (column c, row r from the bottom at "
                        "c * pixel size, r * pixel size; Z as written) and exit")
    args = p.parse_args()

    if args.print_offset:
        n = max(2, int(args.tool_diameter * (1. / args.pixel_size) + .5))  # as the script
        print(f"{n / 2 * args.pixel_size!r},{(n / 2 - 1) * args.pixel_size!r},0")
        return 0

    opts = options(args)
    if args.print_options:
        for k in sorted(opts):
            print(f"{k}={opts[k]}")
        return 0

    module = load_script(args.script)
    module.ui = lambda im, nim, im_name: dict(opts)
    sys.argv[1:] = [args.picture]
    saved = sys.stdout
    with open(args.output, "w", buffering=1 << 20) as out:
        sys.stdout = out
        try:
            module.main()
        finally:
            sys.stdout = saved
    return 0


if __name__ == "__main__":
    sys.exit(main())
