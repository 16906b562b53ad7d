#!/usr/bin/env python3
"""Turns the JSON of feedprobe_bench into docs/performance.md: a table of every figure with its
ratio to the baseline and its target, the machine, the command, and the notes of
bench/performance-notes.md.

usage: make_report.py RESULTS.json NOTES.md OUTPUT.md
"""
import json
import os
import platform
import re
import subprocess
import sys


def machine():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as cpuinfo:
            for line in cpuinfo:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    memory = ""
    try:
        with open("/proc/meminfo") as meminfo:
            kb = int(meminfo.readline().split()[1])
            memory = f", {kb / 1024 / 1024:.1f} GiB memory"
    except (OSError, ValueError, IndexError):
        pass
    versions = []
    for package in ("libxml-2.0", "libxslt", "libcurl"):
        try:
            out = subprocess.run(["pkg-config", "--modversion", package], capture_output=True,
                                 text=True, check=True).stdout.strip()
            versions.append(f"{package} {out}")
        except (OSError, subprocess.CalledProcessError):
            pass
    return (f"{model}, {os.cpu_count()} cores{memory}; {platform.system()} "
            f"{platform.release()}; " + ", ".join(versions))


def main():
    results_path, notes_path, output_path = sys.argv[1:4]
    with open(results_path) as results_file:
        results = json.load(results_file)
    runs = {}
    for run in results["benchmarks"]:
        if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
            continue
        name = re.sub(r"/(min_time:[^/]*|iterations:\d+|real_time|repeats:\d+)", "",
                      run.get("run_name", run["name"]))
        runs[name] = run

    def ms(name):
        run = runs.get(name)
        if run is None:
            return None
        factor = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[run.get("time_unit", "ns")]
        return run["real_time"] * factor

    rows = []

    def row(figure, value, ratio, target="", met=None):
        verdict = "" if met is None else ("met" if met else "**missed**")
        rows.append(f"| {figure} | {value} | {ratio} | {target} | {verdict} |")

    sizes = sorted({int(m.group(1)) for n in runs if (m := re.match(r"data_pass/(\d+)/", n))})
    for n in sizes:
        base = ms(f"baseline/{n}")
        row(f"baseline, N = {n:,}: libxml2 parse + libxslt transform", f"{base:.2f} ms", "1.00")
        engine = ms(f"engine/{n}")
        if engine is not None:
            row(f"the same through the plug-in's XML engine layer, N = {n:,}",
                f"{engine:.2f} ms", f"{engine / base:.2f}")
        for percent in (100, 10):
            t = ms(f"data_pass/{n}/{percent}")
            ratio = t / base
            target, met = "", None
            if percent == 100 and n >= 10000:
                target, met = "≤ 1.3 × baseline", ratio <= 1.3
            what = "every counter active" if percent == 100 else "10 % active"
            row(f"data pass, N = {n:,}, {what}", f"{t:.2f} ms", f"{ratio:.2f}", target, met)
        for name, what in (("list_pass", "list pass"),
                           ("measurement_collection",
                            "GetMeasurementsCollection (list pass, AnnotateCounters, text)")):
            t = ms(f"{name}/{n}")
            if t is not None:
                row(f"{what}, N = {n:,}", f"{t:.2f} ms", f"{t / base:.2f}")
    if 10000 in sizes and 100000 in sizes:
        growth = ms("data_pass/100000/100") / ms("data_pass/10000/100")
        row("data pass growth, N = 100,000 over N = 10,000 (every counter active)",
            f"{growth:.1f} ×", f"baseline: {ms('baseline/100000') / ms('baseline/10000'):.1f} ×",
            "≤ 12 ×", growth <= 12)

    for name in sorted(n for n in runs if n.startswith("get_new_data/")):
        active = int(name.split("/")[1])
        per_call_us = ms(name) * 1000
        base = ms(f"baseline/{active}")
        ratio = f"{per_call_us / (base * 1000 / active):.2f} of the baseline per value" if base else ""
        row(f"GetNewData per call, {active:,} active measurements of one host",
            f"{per_call_us:.2f} µs", ratio, "≤ 2 µs", per_call_us <= 2.0)

    for name in sorted(n for n in runs if n.startswith("many_hosts/")):
        run = runs[name]
        hosts, counters = name.split("/")[1:3]
        cpu = run["cpu_per_second"] * 100
        resident = run["resident_per_monitor"]
        documents = run["documents_text"]
        base = ms(f"baseline/{counters}")
        # One pass per host per 3000 ms: the engine's own cost of that load.
        engine_share = int(hosts) * (base / 1000) / 3.0 * 100 if base else None
        ratio = f"{cpu / engine_share:.1f} × the baseline's {engine_share:.2f} %" if engine_share else ""
        row(f"{hosts} hosts × {counters} counters at 3000 ms: CPU of the whole process",
            f"{cpu:.2f} % of one core", ratio, "< 10 %", cpu < 10)
        row(f"{hosts} hosts × {counters} counters: resident memory per host monitor",
            f"{resident / 1024:.0f} KiB", f"{resident / documents:.1f} × its two documents "
            f"as text ({documents / 1024:.1f} KiB)", "≤ 4 ×", resident / documents <= 4)

    context = results.get("context", {})
    with open(notes_path) as notes_file:
        notes = notes_file.read()
    os.makedirs(os.path.dirname(output_path) or ".", exist_ok=True)
    with open(output_path, "w") as out:
        out.write("# Performance\n\n")
        out.write("Generated by `make bench` (bench/feedprobe_bench, bench/make_report.py); "
                  "do not edit by hand. Times are wall-clock medians of the benchmark's "
                  "repetitions; every ratio is to the bare-engine baseline of the same N "
                  "measured in the same run.\n\n")
        out.write(f"- Machine: {machine()}\n")
        out.write(f"- Run: {context.get('date', '')}, load average at start "
                  f"{', '.join(f'{x:.2f}' for x in context.get('load_avg', []))}\n")
        out.write("- Reproduce: `make bench` (or `build/bench/feedprobe_bench "
                  "--benchmark_repetitions=3`, then `python3 bench/make_report.py`)\n\n")
        out.write("| Figure | Value | Ratio | Target | |\n|---|---|---|---|---|\n")
        out.write("\n".join(rows) + "\n\n")
        out.write(notes)


if __name__ == "__main__":
    main()
