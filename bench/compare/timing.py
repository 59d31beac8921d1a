#!/usr/bin/env python3
"""Time groups of commands alternately, with their peak resident size, and print the tables.

    timing.py run PLAN RESULTS
        time the jobs of PLAN and append them to RESULTS
    timing.py table RESULTS [--figures FIGURES] [--markdown FILE] [--title TEXT]
        print the table of every job in RESULTS and, with FIGURES, the table of ratios and
        targets; --markdown writes the same tables as markdown into FILE as well

PLAN has one job per line, tab-separated:

    tool  input  runs  warmup  output-file  amount  unit  mode  command...

The command is split like a shell would split it (shlex) and run without a shell, inside
/usr/bin/time -v for its peak resident size (the largest of all runs is kept). `amount` is the
work of one run in `unit` (B for bytes, lines, or - for none; 0 B: the size of the output file
after the last run); the rate is amount / time.
`mode` says what the time is and where standard output goes:

    null      wall time of the process, output to /dev/null
    pipe      wall time of the process, output read through a pipe and dropped (GNU grep
              stops early when it writes to /dev/null)
    reported  the process prints "seconds T" (a step timed inside it); "bytes N" sets amount
    gbench    a Google Benchmark program with one benchmark selected in its command: it runs
              once per job with RUNS repetitions; each repetition's real time is one run, and
              its items or bytes per second give the amount

Warm-up runs come first, then rounds: in every round each job that still needs runs runs once,
in plan order on even rounds and in reverse order on odd ones, so that slow drifts of a shared
machine hit all jobs alike. A command that exits non-zero stops the whole group.

FIGURES has one figure per line, tab-separated: kind, figure, job, peer job or -, target or -.
Jobs are named GROUP/TOOL. Kinds:

    ratio   rate of job / rate of peer (how many times faster Morvilo is); target e.g. ">= 10",
            - (a peer without a target: ahead or behind) or limit (a limit of the machine)
    rate    rate of the job in its unit per second (B as MB/s)
    time    median time of the job in ms
    rss     peak resident size of the job in MiB

The spread of a ratio runs from the slowest Morvilo run against the fastest peer run to the
other way round; the spread of a rate or time from its slowest to its fastest run.
"""

import json
import os
import re
import shlex
import statistics
import subprocess
import sys
import tempfile
import time

FIELDS = ["group", "tool", "input", "runs", "median_s", "min_s", "max_s", "cpu_s",
          "output_bytes", "amount", "unit", "rss_kb", "times"]
TIME = "/usr/bin/time"


def read_plan(path):
    jobs = []
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            tool, inp, runs, warmup, output, amount, unit, mode, command = line.split("\t", 8)
            jobs.append(dict(tool=tool, input=inp, runs=int(runs), warmup=int(warmup),
                             output=output, amount=float(amount), unit=unit, mode=mode,
                             argv=shlex.split(command), times=[], cpu=[], amounts=[], rss=0,
                             processes=0))
    if not jobs:
        sys.exit(f"timing.py: {path}: no jobs")
    return jobs


def peak_rss_kb(report):
    m = re.search(r"Maximum resident set size \(kbytes\): (\d+)", report)
    return int(m.group(1)) if m else 0


def run_process(job, argv):
    """Runs argv under /usr/bin/time -v; returns (wall s, cpu s, stdout text)."""
    with tempfile.NamedTemporaryFile("r", prefix="morvilo-time-", suffix=".txt") as report:
        wrapped = [TIME, "-v", "-o", report.name] + argv
        out = subprocess.DEVNULL if job["mode"] == "null" else subprocess.PIPE
        before = os.times()
        t0 = time.perf_counter()
        proc = subprocess.Popen(wrapped, stdin=subprocess.DEVNULL, stdout=out,
                                stderr=subprocess.PIPE)
        stdout, stderr = proc.communicate()
        elapsed = time.perf_counter() - t0
        after = os.times()
        if proc.returncode != 0:
            err = stderr.decode(errors="replace").strip()
            sys.exit(f"timing.py: {job['tool']} failed (exit {proc.returncode}): "
                     f"{shlex.join(argv)}\n{err}")
        job["rss"] = max(job["rss"], peak_rss_kb(report.read()))
    job["processes"] += 1
    cpu = (after.children_user - before.children_user
           + after.children_system - before.children_system)
    text = stdout.decode(errors="replace") if stdout else ""
    if job["mode"] == "pipe":
        text = ""  # dropped; only the gbench and reported modes read it
    return elapsed, cpu, text


def run_once(job):
    mode = job["mode"]
    if mode == "gbench":
        argv = job["argv"] + [f"--benchmark_repetitions={job['runs']}",
                              "--benchmark_format=json",
                              "--benchmark_report_aggregates_only=false"]
        _, cpu, text = run_process(job, argv)
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
        runs = [b for b in json.loads(text or '{"benchmarks": []}')["benchmarks"]
                if b.get("run_type") == "iteration"]
        if not runs:
            sys.exit(f"timing.py: {job['tool']}: the benchmark ran nothing: {shlex.join(argv)}")
        for b in runs:
            t = b["real_time"] * scale[b["time_unit"]]
            per_second = b.get("items_per_second") or b.get("bytes_per_second")
            job["times"].append(t)
            job["cpu"].append(b["cpu_time"] * scale[b["time_unit"]])
            job["amounts"].append(per_second * t if per_second else job["amount"])
        return job["times"][-1]
    elapsed, cpu, text = run_process(job, job["argv"])
    amount = job["amount"]
    if mode == "reported":
        m = re.search(r"^seconds ([0-9.eE+-]+)$", text, re.M)
        if not m:
            sys.exit(f"timing.py: {job['tool']} printed no 'seconds T': {text[:200]}")
        elapsed = float(m.group(1))
        b = re.search(r"^bytes (\d+)$", text, re.M)
        if b:
            amount = float(b.group(1))
    job["times"].append(elapsed)
    job["cpu"].append(cpu)
    job["amounts"].append(amount)
    return elapsed


def run(plan, results):
    jobs = read_plan(plan)
    group = os.path.basename(plan)
    for job in jobs:
        for _ in range(job["warmup"]):
            print(f"  warm-up  {job['tool']:<24} {job['input']}", file=sys.stderr, flush=True)
            run_process(job, job["argv"])
    rounds = max(1 if job["mode"] == "gbench" else job["runs"] for job in jobs)
    for r in range(rounds):
        order = jobs if r % 2 == 0 else list(reversed(jobs))
        for job in order:
            if job["mode"] == "gbench" and job["processes"] > job["warmup"]:
                continue
            if job["mode"] != "gbench" and len(job["times"]) >= job["runs"]:
                continue
            t = run_once(job)
            print(f"  run {r + 1}/{rounds}  {job['tool']:<24} {job['input']:<14} {t:10.4f} s",
                  file=sys.stderr, flush=True)
    new = not os.path.exists(results)
    with open(results, "a") as f:
        if new:
            f.write("\t".join(FIELDS) + "\n")
        for job in jobs:
            size = os.path.getsize(job["output"]) if os.path.exists(job["output"]) else 0
            t = job["times"]
            amount = statistics.median(job["amounts"])
            if job["unit"] == "B" and amount == 0:
                amount = size  # the work of a generator is the file it writes
            row = [group, job["tool"], job["input"], len(t), f"{statistics.median(t):.9f}",
                   f"{min(t):.9f}", f"{max(t):.9f}", f"{statistics.median(job['cpu']):.6f}",
                   size, f"{amount:.0f}", job["unit"], job["rss"],
                   ",".join(f"{v:.9f}" for v in t)]
            f.write("\t".join(str(v) for v in row) + "\n")


# --- tables ------------------------------------------------------------------------------------

def read_results(path):
    with open(path) as f:
        header = f.readline().rstrip("\n").split("\t")
        rows = [dict(zip(header, line.rstrip("\n").split("\t"))) for line in f if line.strip()]
    for r in rows:
        r["t"] = [float(v) for v in r["times"].split(",")]
        r["med"] = statistics.median(r["t"])
        r["amt"] = float(r["amount"])
    return rows


def rate_text(value, unit):
    if unit == "B":
        return f"{value / 1e9:.2f} GB/s" if value >= 1e9 else f"{value / 1e6:.1f} MB/s"
    if unit == "lines":
        return f"{value / 1e6:.2f} M lines/s" if value >= 1e6 else f"{value / 1e3:.0f} k lines/s"
    return "-"


def seconds_text(s):
    if s < 1e-3:
        return f"{s * 1e6:.1f} µs"
    return f"{s * 1e3:.1f} ms" if s < 1 else f"{s:.2f} s"


def rate(r, t):
    return (r["amt"] if r["unit"] != "-" else 1.0) / t


def job_rows(rows):
    cols = ["group", "tool", "input", "runs", "median", "min-max", "spread", "rate", "peak RSS",
            "time / first"]
    out = []
    first = {}
    for r in rows:
        base = first.setdefault(r["group"], r)
        lo, hi = min(r["t"]), max(r["t"])
        out.append([r["group"], r["tool"], r["input"], r["runs"], seconds_text(r["med"]),
                    f"{seconds_text(lo)} - {seconds_text(hi)}",
                    f"{100 * (hi - lo) / r['med']:.0f} %" if r["med"] > 0 else "-",
                    rate_text(rate(r, r["med"]), r["unit"]),
                    f"{int(r['rss_kb']) / 1024:.1f} MiB" if int(r["rss_kb"]) else "-",
                    "1 (base)" if r is base else f"{r['med'] / base['med']:.2f}"])
    return cols, out


def meets(value, target):
    if target == "-":
        return "-"
    op, limit = target.split()
    limit = float(limit)
    ok = {">=": value >= limit, ">": value > limit, "<": value < limit, "<=": value <= limit}[op]
    return "met" if ok else "BEHIND"


def figure_rows(rows, path):
    by_name = {f"{r['group']}/{r['tool']}": r for r in rows}
    cols = ["figure", "Morvilo", "peer", "median", "spread", "target", ""]
    out = []
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            kind, figure, job, peer, target = line.split("\t")
            a = by_name.get(job)
            b = by_name.get(peer) if peer != "-" else None
            if a is None or (peer != "-" and b is None):
                continue  # a group that did not run (--only, --quick, a peer left out)
            lo_t, hi_t = min(a["t"]), max(a["t"])
            if kind == "ratio":
                value = rate(a, a["med"]) / rate(b, b["med"])
                lo = rate(a, hi_t) / rate(b, min(b["t"]))
                hi = rate(a, lo_t) / rate(b, max(b["t"]))
                text = (f"{value:.1f} x", f"{lo:.1f} - {hi:.1f}")
                if target == "limit":
                    status = "(a limit)"
                else:
                    status = meets(value, target) if target != "-" else (
                        "behind" if value < 1 else "ahead")
            elif kind == "rate":
                scale = 1e6 if a["unit"] == "B" else 1.0
                value = rate(a, a["med"]) / scale
                text = (rate_text(rate(a, a["med"]), a["unit"]),
                        f"{rate_text(rate(a, hi_t), a['unit'])} - "
                        f"{rate_text(rate(a, lo_t), a['unit'])}")
                status = meets(value, target)
            elif kind == "time":
                value = a["med"] * 1e3
                text = (seconds_text(a["med"]), f"{seconds_text(lo_t)} - {seconds_text(hi_t)}")
                status = meets(value, target)
            elif kind == "rss":
                value = int(a["rss_kb"]) / 1024
                text = (f"{value:.1f} MiB", "(largest run)")
                status = meets(value, target)
            else:
                sys.exit(f"timing.py: {path}: unknown kind {kind}")
            unit = {"ratio": "", "rate": " MB/s" if a["unit"] == "B" else " lines/s",
                    "time": " ms", "rss": " MiB"}[kind]
            shown = target + unit if target not in ("-", "limit") else "-"
            out.append([figure, job, peer, text[0], text[1], shown, status])
    return cols, out


def plain(cols, out):
    widths = [max(len(c), *(len(o[i]) for o in out)) if out else len(c)
              for i, c in enumerate(cols)]
    lines = ["  ".join(c.ljust(w) for c, w in zip(cols, widths)).rstrip(),
             "  ".join("-" * w for w in widths)]
    lines += ["  ".join(c.ljust(w) for c, w in zip(o, widths)).rstrip() for o in out]
    return "\n".join(lines)


def markdown(cols, out):
    lines = ["| " + " | ".join(cols) + " |", "|" + "---|" * len(cols)]
    lines += ["| " + " | ".join(c.replace("|", "\\|") for c in o) + " |" for o in out]
    return "\n".join(lines)


def table(argv):
    results = argv[0]
    opts = dict(zip(argv[1::2], argv[2::2]))
    rows = read_results(results)
    jobs = job_rows(rows)
    figures = figure_rows(rows, opts["--figures"]) if "--figures" in opts else None
    note = ("median and min - max over the timed runs; spread = (max - min) / median; rate = "
            "work / median time; peak RSS = largest maximum resident size of the process "
            "(/usr/bin/time -v); time / first = median time / the first job of the group.")
    fnote = ("ratio = Morvilo's rate / the peer's rate (times faster); its spread pairs "
             "Morvilo's slowest run with the peer's fastest and the other way round.")
    print(plain(*jobs))
    print("\n" + note)
    if figures:
        print("\n" + plain(*figures))
        print("\n" + fnote)
    if "--markdown" in opts:
        with open(opts["--markdown"], "w") as f:
            if "--title" in opts:
                f.write(opts["--title"] + "\n\n")
            if figures:
                f.write(markdown(*figures) + "\n\n" + fnote + "\n\n")
            f.write(markdown(*jobs) + "\n\n" + note + "\n")


def main(argv):
    if len(argv) == 3 and argv[0] == "run":
        run(argv[1], argv[2])
    elif len(argv) >= 2 and argv[0] == "table" and len(argv) % 2 == 0:
        table(argv[1:])
    else:
        sys.exit(__doc__)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
