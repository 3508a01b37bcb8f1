#!/usr/bin/env python3
"""Sets kviz's medians beside its floors' from one run of bench/run.sh and prints them as the
rows of bench/README.md's table: kviz, floor, ratio, target, verdict.
Usage: table.py SCRATCH_DIR (with stream.json from Google Benchmark and startup-N.json and
game-N.json from hyperfine)."""
import glob
import json
import os
import statistics
import sys

# Row title, and the largest ratio to the floor that meets the target.
STREAM = {
    "LineInput/Short": ("short-line input, 64 MiB of lines of 1..32 bytes, CPU", 1.10),
    "LineInput/Answers": ("the game's answers, 64 MiB of answers and Enters, CPU", 1.10),
    "LineInput/Long10K": ("line input, 64 MiB of 10 KiB lines, CPU", 1.10),
    "Output/File": ("output of a 10,000-question game into a file, CPU", 1.10),
    "Output/DevNull": ("the same into /dev/null (a write per statement), CPU", 1.10),
}


def stream_rows(path):
    medians = {}
    for run in json.load(open(path))["benchmarks"]:
        # A single repetition has no aggregates: its one figure stands for the median.
        if run.get("aggregate_name", "median") == "median":
            scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0}[run["time_unit"]]
            medians[run["run_name"]] = (run["cpu_time"] * scale, run.get("allocs"))
    for case, (title, target) in STREAM.items():
        (kviz, allocs), (floor, _) = medians[case + "/kviz"], medians[case + "/floor"]
        if allocs is not None:
            title += f", {allocs:g} allocations a round"
        yield title, kviz, floor, "ms", target


def hyperfine_figures(pattern):
    """Median wall time of each command over every round, the mean of its user + system time
    (hyperfine keeps no single runs of those), and the number of runs."""
    times, cpu = {}, {}
    for path in sorted(glob.glob(pattern)):
        for result in json.load(open(path))["results"]:
            times.setdefault(result["command"], []).extend(result["times"])
            cpu.setdefault(result["command"], []).append(result["user"] + result["system"])
    wall = {name: statistics.median(runs) for name, runs in times.items()}
    mean_cpu = {name: statistics.mean(means) for name, means in cpu.items()}
    return wall, mean_cpu, max(len(runs) for runs in times.values())


def main():
    scratch = sys.argv[1]
    rows = list(stream_rows(os.path.join(scratch, "stream.json")))
    wall, cpu, runs = hyperfine_figures(os.path.join(scratch, "startup-*.json"))
    rows.append((f"start-up, empty input, to exit, wall, median of {runs}", wall["kviz"] * 1e6,
                 wall["floor"] * 1e6, "us", 1.05))
    rows.append(("the same, user + system CPU, mean", cpu["kviz"] * 1e6, cpu["floor"] * 1e6,
                 "us", None))
    rows.append(("the same, wall, against the C program linked dynamically", wall["kviz"] * 1e6,
                 wall["floor, dynamic"] * 1e6, "us", None))
    wall, cpu, runs = hyperfine_figures(os.path.join(scratch, "game-*.json"))
    rows.append((f"game of 100,000 right answers and a wrong one, file to file, wall, median of "
                 f"{runs}", wall["kviz"] * 1e3, wall["floor"] * 1e3, "ms", 1.10))
    rows.append(("the same, user + system CPU, mean", cpu["kviz"] * 1e3, cpu["floor"] * 1e3, "ms",
                 None))
    print("| measurement | kviz | floor | ratio | target | verdict |")
    print("| --- | --- | --- | --- | --- | --- |")
    for title, kviz, floor, unit, target in rows:
        ratio = kviz / floor
        verdict = "-" if target is None else "met" if ratio <= target else "MISSED"
        target = "-" if target is None else f"≤ {target:.2f}"
        print(f"| {title} | {kviz:.4g} {unit} | {floor:.4g} {unit} | {ratio:.3f} | {target} | "
              f"{verdict} |")


if __name__ == "__main__":
    main()
