#!/usr/bin/env python3
"""Time a group of commands alternately and print the comparison table.

    timing.py run PLAN RESULTS      time the jobs of PLAN, append to RESULTS
    timing.py table RESULTS         print the table of everything in RESULTS

PLAN has one job per line, tab-separated:

    tool  picture  runs  warmup  output-file  command...

The command is split like a shell would split it (shlex), but run without a
shell. The first job of a plan is the baseline of its group: the ratio column
is a job's median time divided by the baseline's median time (peer time /
Morvilo time), measured in the same session.

Warm-up runs come first, then rounds: in every round each job that still
needs runs runs once, in plan order on even rounds and in reverse order on
odd ones, so that slow drifts of a shared machine hit all jobs alike. Wall
time is measured around each process (time.perf_counter); output size is the
size of the output file after the last run. A command that exits non-zero
stops the whole group.
"""

import os
import shlex
import statistics
import subprocess
import sys
import time

FIELDS = ["group", "tool", "picture", "runs", "median_s", "min_s", "max_s",
          "cpu_s", "output_bytes", "baseline_median_s"]


def read_plan(path):
    jobs = []
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            tool, picture, runs, warmup, output, command = line.split("\t", 5)
            jobs.append(dict(tool=tool, picture=picture, runs=int(runs),
                             warmup=int(warmup), output=output,
                             argv=shlex.split(command), times=[], cpu=[]))
    if not jobs:
        sys.exit(f"timing.py: {path}: no jobs")
    return jobs


def run_once(job):
    before = os.times()
    t0 = time.perf_counter()
    proc = subprocess.run(job["argv"], stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - t0
    after = os.times()
    if proc.returncode != 0:
        err = proc.stderr.decode(errors="replace").strip()
        sys.exit(f"timing.py: {job['tool']} failed (exit {proc.returncode}): "
                 f"{shlex.join(job['argv'])}\n{err}")
    cpu = (after.children_user - before.children_user
           + after.children_system - before.children_system)
    return elapsed, cpu


def run(plan, results):
    jobs = read_plan(plan)
    group = os.path.basename(plan)
    for job in jobs:
        for _ in range(job["warmup"]):
            print(f"  warm-up  {job['tool']:<16} {job['picture']}", file=sys.stderr, flush=True)
            run_once(job)
    rounds = max(job["runs"] for job in jobs)
    for r in range(rounds):
        order = jobs if r % 2 == 0 else list(reversed(jobs))
        for job in order:
            if len(job["times"]) >= job["runs"]:
                continue
            t, cpu = run_once(job)
            job["times"].append(t)
            job["cpu"].append(cpu)
            print(f"  run {r + 1}/{rounds}  {job['tool']:<16} {job['picture']:<12} {t:9.3f} s",
                  file=sys.stderr, flush=True)
    base = statistics.median(jobs[0]["times"])
    new = not os.path.exists(results)
    with open(results, "a") as f:
        if new:
            f.write("\t".join(FIELDS) + "\n")
        for job in jobs:
            size = os.path.getsize(job["output"]) if os.path.exists(job["output"]) else 0
            row = [group, job["tool"], job["picture"], len(job["times"]),
                   f"{statistics.median(job['times']):.6f}",
                   f"{min(job['times']):.6f}", f"{max(job['times']):.6f}",
                   f"{statistics.median(job['cpu']):.6f}", size, f"{base:.6f}"]
            f.write("\t".join(str(v) for v in row) + "\n")


def table(results):
    with open(results) as f:
        header = f.readline().rstrip("\n").split("\t")
        rows = [dict(zip(header, line.rstrip("\n").split("\t"))) for line in f if line.strip()]
    cols = ["tool", "picture", "runs", "median s", "spread", "min-max s",
            "CPU s", "output MB", "MB/s", "ratio"]
    out = []
    base_of = {}
    for r in rows:
        base_of.setdefault(r["group"], r["tool"])
        med, lo, hi = float(r["median_s"]), float(r["min_s"]), float(r["max_s"])
        mb = int(r["output_bytes"]) / 1e6
        ratio = med / float(r["baseline_median_s"])
        out.append([r["tool"], r["picture"], r["runs"], f"{med:.3f}",
                    f"{100 * (hi - lo) / med:.0f} %", f"{lo:.3f}-{hi:.3f}",
                    f"{float(r['cpu_s']):.3f}", f"{mb:.1f}",
                    f"{mb / med:.1f}" if med > 0 else "-",
                    "1 (base)" if r["tool"] == base_of[r["group"]] else f"{ratio:.1f}"])
    widths = [max(len(c), *(len(o[i]) for o in out)) if out else len(c)
              for i, c in enumerate(cols)]
    right = {2, 3, 4, 6, 7, 8, 9}

    def fmt(cells):
        return "  ".join(c.rjust(w) if i in right else c.ljust(w)
                         for i, (c, w) in enumerate(zip(cells, widths)))
    print(fmt(cols))
    print("  ".join("-" * w for w in widths))
    last = None
    for r, o in zip(rows, out):
        if last is not None and r["group"] != last:
            print()
        last = r["group"]
        print(fmt(o))
    print()
    print("spread = (max - min) / median over the timed runs; "
          "ratio = median time / Morvilo's median time in the same group; "
          "CPU s = median user + system time of the process.")


def main(argv):
    if len(argv) == 3 and argv[0] == "run":
        run(argv[1], argv[2])
    elif len(argv) == 2 and argv[0] == "table":
        table(argv[1])
    else:
        sys.exit(__doc__)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
