#!/usr/bin/python3
"""The relief-quality group of compare/run: what a relief program makes of its picture.

    relief_quality.py measure QUALITY.tsv --cli MORVILO_CLI --job GROUP/TOOL --shape SHAPE
                      --tool TOOL --picture PICTURE --program PROGRAM --width W --depth D
                      --stock XMIN,YMIN,XMAX,YMAX --resolution R [--offset DX,DY,DZ]
                      [--keep PART.pfm]
        simulate PROGRAM with `morvilo-cli simulate --tool TOOL` on the stock (top Z 0) and
        grid given (in the picture's frame; --offset: where the program's frame lies in it),
        score the part against the picture's target surface (relief_score.py),
        time the program with `morvilo-cli stats --profile linuxcnc` (acceleration model) and
        append one row to QUALITY.tsv
    relief_quality.py table QUALITY.tsv RESULTS.tsv [--markdown FILE]
        print the side-by-side table: the rows of QUALITY.tsv with the generation time
        (median of the timed runs) of their job in RESULTS.tsv (timing.py's results)

A job is named GROUP/TOOL as in timing.py; SHAPE is the tool shape the row is scored with
(one Morvilo program may be scored with several tools).
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import relief_score  # noqa: E402

FIELDS = ["job", "shape", "tool", "program_bytes", "machine_s", "cells", "gouge_share",
          "gouge_worst", "strict_share", "rms", "within_share", "left_most", "rms_inner",
          "within_inner", "wall_share"]


def machine_seconds(cli, program):
    """The run time with acceleration (LinuxCNC profile) that `morvilo-cli stats` gives."""
    proc = subprocess.run([cli, "stats", "--profile", "linuxcnc", "--json", program],
                          capture_output=True, text=True)
    if proc.returncode != 0:
        sys.exit(f"relief_quality.py: stats failed on {program}: {proc.stderr.strip()}")
    facts = json.loads(proc.stdout)
    if "time_accel" not in facts:
        sys.exit(f"relief_quality.py: no time_accel in stats --json: {proc.stdout[:300]}")
    return float(facts["time_accel"])


def measure(a):
    offset = [float(v) for v in a.offset.split(",")]
    # the stock in the program's frame: the same cells as the picture's frame
    x0, y0, x1, y1 = [float(v) for v in a.stock.split(",")][:4]
    stock = [x0 - offset[0], y0 - offset[1], x1 - offset[0], y1 - offset[1]]
    with tempfile.TemporaryDirectory(prefix="morvilo-quality-") as tmp:
        part = a.keep or os.path.join(tmp, "part.pfm")
        proc = subprocess.run(
            [a.cli, "simulate", "--tool", a.tool, "--resolution", str(a.resolution),
             "--stock", ",".join(repr(v) for v in stock) + f",{-offset[2]!r}",
             "--heightmap", part, a.program], capture_output=True, text=True)
        if proc.returncode != 0:
            sys.exit(f"relief_quality.py: simulate failed on {a.program}: {proc.stderr.strip()}")
        s = relief_score.score(a.picture, part, stock, a.resolution, a.width, a.depth,
                               offset=offset)
    row = dict(job=a.job, shape=a.shape, tool=a.tool, program_bytes=os.path.getsize(a.program),
               machine_s=machine_seconds(a.cli, a.program), **s)
    new = not os.path.exists(a.quality) or os.path.getsize(a.quality) == 0
    with open(a.quality, "a") as f:
        if new:
            f.write("\t".join(FIELDS) + "\n")
        f.write("\t".join(str(row[k]) for k in FIELDS) + "\n")
    print(f"  {a.job:<34} {a.shape:<6} gouged {100 * s['gouge_share']:6.2f} % "
          f"(worst {s['gouge_worst']:.3f} mm), RMS {s['rms']:.4f} mm, "
          f"within {100 * s['within_share']:5.1f} %, machine {hours(row['machine_s'])}, "
          f"{size_text(row['program_bytes'])}", file=sys.stderr, flush=True)


def read_tsv(path):
    with open(path) as f:
        header = f.readline().rstrip("\n").split("\t")
        return [dict(zip(header, line.rstrip("\n").split("\t"))) for line in f if line.strip()]


def hours(s):
    s = float(s)
    if s >= 3600:
        return f"{s / 3600:.1f} h"
    if s >= 60:
        return f"{s / 60:.1f} min"
    return f"{s:.1f} s"


def size_text(n):
    n = float(n)
    if n >= 1e6:
        return f"{n / 1e6:.1f} MB"
    return f"{n / 1e3:.0f} kB"


def seconds_text(s):
    return f"{s * 1e3:.0f} ms" if s < 1 else f"{s:.2f} s"


def table(a):
    quality = read_tsv(a.quality)
    timing = {}
    if os.path.exists(a.results):
        for r in read_tsv(a.results):
            timing[f"{r['group']}/{r['tool']}"] = [float(v) for v in r["times"].split(",")]
    cols = ["picture", "tool", "program", "gouged > 0.01", "worst gouge", "strictly below",
            "RMS", "within 0.05", "RMS inside", "within inside", "machine time", "size",
            "generation"]
    out = []
    for q in quality:
        group, producer = q["job"].split("/", 1)
        times = timing.get(q["job"])
        gen = (f"{seconds_text(statistics.median(times))} ({len(times)})" if times else "-")
        out.append([group.removeprefix("relief-quality-"), q["shape"], producer,
                    f"{100 * float(q['gouge_share']):.2f} %",
                    f"{float(q['gouge_worst']):.3f} mm",
                    f"{100 * float(q['strict_share']):.2f} %",
                    f"{float(q['rms']):.4f} mm", f"{100 * float(q['within_share']):.1f} %",
                    f"{float(q['rms_inner']):.4f} mm", f"{100 * float(q['within_inner']):.1f} %",
                    hours(q["machine_s"]), size_text(q["program_bytes"]), gen])
    for extra in a.time_row or []:  # JOB=CAPTION: a generation-time row of its own
        job, caption = extra.split("=", 1)
        times = timing.get(job)
        if times:
            out.append([caption, "", job.split("/", 1)[1], "", "", "", "", "", "", "", "", "",
                        f"{seconds_text(statistics.median(times))} "
                        f"({seconds_text(min(times))} - {seconds_text(max(times))}, "
                        f"{len(times)} runs)"])
    widths = [max(len(c), *(len(o[i]) for o in out)) if out else len(c)
              for i, c in enumerate(cols)]
    print("  ".join(c.ljust(w) for c, w in zip(cols, widths)).rstrip())
    print("  ".join("-" * w for w in widths))
    for o in out:
        print("  ".join(c.ljust(w) for c, w in zip(o, widths)).rstrip())
    note = ("gouged: cells more than 0.01 mm below the target, at a wall (the target spans "
            "more than one pixel pitch in height within one pixel pitch) below the lowest "
            "target within one pixel pitch (a wall's place inside a pixel is no gouge); "
            "strictly below: more than 0.01 mm "
            "below the target at the cell; RMS and within 0.05 mm: part - target over the "
            "cells on the picture, inside: 0.5 mm or more inside its border (image-to-gcode leaves a "
            "strip a tool radius wide uncut); machine time: morvilo-cli stats --profile linuxcnc "
            "(acceleration model); generation: median of the timed runs (their number).")
    print("\n" + note)
    if a.markdown:
        with open(a.markdown, "a") as f:
            f.write("\n| " + " | ".join(cols) + " |\n|" + "---|" * len(cols) + "\n")
            for o in out:
                f.write("| " + " | ".join(o) + " |\n")
            f.write("\n" + note + "\n")


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = p.add_subparsers(dest="command", required=True)
    m = sub.add_parser("measure")
    m.add_argument("quality")
    for name in ("--cli", "--job", "--shape", "--tool", "--picture", "--program", "--stock"):
        m.add_argument(name, required=True)
    m.add_argument("--width", type=float, required=True)
    m.add_argument("--depth", type=float, required=True)
    m.add_argument("--resolution", type=float, required=True)
    m.add_argument("--offset", default="0,0,0")
    m.add_argument("--keep", help="keep the simulated part in this PFM")
    t = sub.add_parser("table")
    t.add_argument("quality")
    t.add_argument("results")
    t.add_argument("--markdown")
    t.add_argument("--time-row", action="append", metavar="JOB=CAPTION")
    a = p.parse_args(argv)
    if a.command == "measure":
        measure(a)
    else:
        table(a)
    return 0


if __name__ == "__main__":
    sys.exit(main())
