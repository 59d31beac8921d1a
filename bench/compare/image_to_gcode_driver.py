#!/usr/bin/python3
"""Run LinuxCNC's image-to-gcode on a picture without its Tk dialog.

    image_to_gcode_driver.py PICTURE OUTPUT [--pixel-size MM] [--depth MM]
        [--tool-diameter MM] [--pixelstep N] [--script PATH]

image-to-gcode is a script without a .py suffix: it is loaded as a module, its
options dialog `ui()` is replaced by a function returning a fixed options
dictionary, and its `main()` runs on PICTURE with the G-code going to OUTPUT
(the script writes through sys.stdout).

Fixed options, chosen to make it mill the same grid as Morvilo's relief at
one path per pixel row: millimetres, rows only (one direction), a flat end
mill, no normalisation, no border, no roughing pass. With the defaults
(pixel size 0.1 mm, step 1 pixel, 0.2 mm tool = 2 x 2 pixels, the smallest
tool it builds) every pixel of the picture is a grid sample 0.1 mm apart.

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


def options(args):
    # Keys and value kinds as the script's dialog returns them (indices for
    # its option menus, numbers for its entries, booleans for its checks).
    return dict(
        units=1,              # G21 (mm)
        invert=False,
        normalize=False,
        expand=0,             # no border
        tolerance=0.001,      # path simplification tolerance (mm)
        pixel_size=args.pixel_size,
        feed_rate=1000.0,
        plunge_feed_rate=300.0,
        spindle_speed=10000.0,
        pattern=0,            # rows
        converter=0,          # positive direction
        depth=args.depth,
        pixelstep=args.pixelstep,
        tool_diameter=args.tool_diameter,
        safety_height=1.0,
        tool_type=1,          # flat end
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
    p.add_argument("--pixelstep", type=int, default=1)
    p.add_argument("--script", default=shutil.which("image-to-gcode") or "/usr/bin/image-to-gcode")
    p.add_argument("--print-options", action="store_true",
                   help="print the fixed options and exit")
    args = p.parse_args()

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
