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
        if run.get("aggregate_name") == "median":
            scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0}[run["time_unit"]]
            medians[run["run_name"]] = (run["cpu_time"] * scale, run.get("allocs"))
    for case, (title, target) in STREAM.items():
        (kviz, allocs), (floor, _) = medians[case + "/kviz"], medians[case + "/floor"]
        if allocs is not None:
            title += f", {allocs:g} allocations a round"
        yield title, kviz, floor, "ms", target


def hyperfine_medians(pattern):
    """Median wall time of each command over every round."""
    times = {}
    for path in sorted(glob.glob(pattern)):
        for result in json.load(open(path))["results"]:
            times.setdefault(result["command"], []).extend(result["times"])
    counts = {len(runs) for runs in times.values()}
    return {name: statistics.median(runs) for name, runs in times.items()}, max(counts)


def main():
    scratch = sys.argv[1]
    rows = list(stream_rows(os.path.join(scratch, "stream.json")))
    startup, runs = hyperfine_medians(os.path.join(scratch, "startup-*.json"))
    rows.append((f"start-up, empty input, to exit, wall, {runs} runs", startup["kviz"] * 1e6,
                 startup["floor"] * 1e6, "us", 1.05))
    rows.append(("the same against the C program linked dynamically", startup["kviz"] * 1e6,
                 startup["floor, dynamic"] * 1e6, "us", None))
    game, runs = hyperfine_medians(os.path.join(scratch, "game-*.json"))
    rows.append((f"game of 100,000 right answers and a wrong one, file to file, wall, {runs} runs",
                 game["kviz"] * 1e3, game["floor"] * 1e3, "ms", 1.10))
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
