#!/usr/bin/env python3
"""Whole-process measurements of kviz against C floors: start-up, the game of 100,000
correct answers, peak memory, and the read and write calls of the long game.

Usage: bench/whole_process.py [--build DIR] [--runs N] [--questions N] [WHAT ...]
WHAT is any of startup, game, memory, syscalls (default: all). Tools that are missing
(strace) turn their measurement into a note; nothing here fails for want of them."""
import argparse
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

ANSWERS = ["paskal", "integer", "1", "real", "sqrt", "boolean", "1", "2", "1", "2", "1", "2"]
DRAWS = ",".join(str(k) for k in range(1, 13))
PIECE = 128


def spawn(argv, stdin_path, stdout_path, env=None):
    """Runs argv once with the given files as standard input and output."""
    with open(stdin_path, "rb") as fin, open(stdout_path, "wb") as fout:
        code = subprocess.run(argv, stdin=fin, stdout=fout, env=env).returncode
    if code != 0:
        sys.exit(f"{argv[0]} exited with {code}")


def answers_file(path, questions, ending):
    """Answers to draws 1..12 cycling, each followed by its Enter, then a wrong answer and
    ending: "enters" gives the two Enter lines the game waits for, "eof" ends the input."""
    with open(path, "w") as f:
        for i in range(questions):
            f.write(ANSWERS[i % 12] + "\n\n")
        f.write("x\n\n\n" if ending == "enters" else "x\n")


def timed_pair(timer, runs, stdin_path, stdout_path, kviz_argv, floor_argv, env=None):
    """Runs kviz and its floor alternately under spawn_timer; returns the medians as
    ((kviz cpu, kviz wall), (floor cpu, floor wall)) in seconds."""
    result = subprocess.run([timer, str(runs), stdin_path, stdout_path] + kviz_argv + ["--"] +
                            floor_argv, env=env, stdout=subprocess.PIPE, check=True)
    figures = {}
    for line in result.stdout.decode().splitlines():
        name, _, wall, _, cpu = line.split()
        figures[name] = (float(cpu), float(wall))
    return figures["A"], figures["B"]


def row(name, kviz, floor, unit, target, note=""):
    ratio = kviz / floor if floor else float("nan")
    verdict = "-" if target is None else ("met" if ratio <= target else "MISSED")
    target_text = "-" if target is None else f"{target:.2f}"
    print(f"{name:<34} {kviz:>11.3f} {unit:<3} {floor:>11.3f} {unit:<3} {ratio:>7.3f} "
          f"{target_text:>7} {verdict} {note}")


def header(title):
    print(f"\n== {title}")
    print(f"{'measurement':<34} {'kviz':>15} {'floor':>15} {'ratio':>7} {'target':>7}")


class Bench:
    def __init__(self, build, runs, questions):
        self.build = build
        self.runs = runs
        self.questions = questions
        self.scratch = tempfile.mkdtemp(prefix="kviz-bench-")
        self.env = dict(os.environ, KVIZ_DRAWS=DRAWS)
        self.kviz = os.path.join(build, "kviz")
        self.game_prog = os.path.join(build, "kviz_scripted")
        self.game_floor = os.path.join(build, "bench", "game_floor")
        self.startup_floor = os.path.join(build, "bench", "startup_floor")
        self.peak_rss = os.path.join(build, "bench", "peak_rss")
        self.timer = os.path.join(build, "bench", "spawn_timer")
        for program in (self.kviz, self.game_prog, self.game_floor, self.startup_floor,
                        self.peak_rss, self.timer):
            if not os.access(program, os.X_OK):
                sys.exit(f"{program} is missing: build the project with KVIZ_BENCH=ON first")

    def path(self, name):
        return os.path.join(self.scratch, name)

    def long_game(self, ending="enters"):
        """The answers and kviz's output for the long game; returns their paths."""
        answers, output = self.path(f"answers-{ending}.txt"), self.path(f"output-{ending}.txt")
        if not os.path.exists(output):
            answers_file(answers, self.questions, ending)
            spawn([self.game_prog], answers, output, self.env)
            with open(output, "rb") as f:
                f.seek(-80, os.SEEK_END)
                tail = f.read()
            if f"Broj tacnih odgovora: {self.questions}\r\n".encode() not in tail:
                sys.exit("the long game did not end as expected")
        return answers, output

    def game(self):
        header(f"game of {self.questions} correct answers and a wrong one (CPU time, "
               f"median of {self.runs})")
        answers, reference = self.long_game()
        out_f = self.path("game-floor.txt")
        spawn([self.game_floor, reference], answers, out_f)
        if open(reference, "rb").read() != open(out_f, "rb").read():
            sys.exit("kviz and the floor wrote different bytes")
        k, f = timed_pair(self.timer, self.runs, answers, self.path("game-out.txt"),
                          [self.game_prog], [self.game_floor, reference], self.env)
        row("game: user+system CPU", k[0] * 1e3, f[0] * 1e3, "ms", 1.2)
        row("game: wall (for reference)", k[1] * 1e3, f[1] * 1e3, "ms", None)

    def startup(self):
        runs = self.runs * 10
        header(f"start-up with empty input, start to exit (median of {runs})")
        empty = self.path("empty.txt")
        open(empty, "wb").close()
        sample = self.path("startup-sample.txt")
        spawn([self.kviz], empty, sample)
        text = open(sample, "rb").read()
        k, f = timed_pair(self.timer, runs, empty, self.path("startup-out.txt"), [self.kviz],
                          [self.startup_floor, text])
        row("start-up: wall", k[1] * 1e6, f[1] * 1e6, "us", 1.15)
        row("start-up: user+system CPU", k[0] * 1e6, f[0] * 1e6, "us", None)

    def rss(self, argv, stdin_path, env=None):
        result = subprocess.run([self.peak_rss] + argv, stdin=open(stdin_path, "rb"),
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env,
                                check=True)
        m = re.search(rb"peak_rss_kib (\d+) anon_kib (\d+) file_kib (\d+)", result.stderr)
        return tuple(int(x) for x in m.groups())

    def memory(self):
        header("peak resident set size (KiB; address randomisation off)")
        answers, reference = self.long_game()
        one = self.path("one.txt")
        answers_file(one, 1, "enters")
        empty = self.path("empty.txt")
        open(empty, "wb").close()
        long_k = self.rss([self.game_prog], answers, self.env)
        one_k = self.rss([self.game_prog], one, self.env)
        long_f = self.rss([self.game_floor, reference], answers)
        small_c = self.rss([self.startup_floor], empty)
        real = self.rss([self.kviz], empty)
        print(f"kviz, {self.questions}-question game: peak {long_k[0]}, anonymous {long_k[1]}")
        print(f"kviz, one-question game:       peak {one_k[0]}, anonymous {one_k[1]}")
        growth = long_k[0] - one_k[0]
        print(f"growth: {growth} KiB (target: at most 64) -> {'met' if growth <= 64 else 'MISSED'}")
        print(f"C floor, {self.questions}-question game: peak {long_f[0]}, anonymous {long_f[1]}")
        print(f"C program writing the start-up bytes: peak {small_c[0]}, anonymous {small_c[1]}")
        print(f"kviz itself, empty input:      peak {real[0]}, anonymous {real[1]}")
        row("peak RSS, long game vs C floor", long_k[0], long_f[0], "KiB", None)

    def syscalls(self):
        header("read and write calls of the long game (strace)")
        if shutil.which("strace") is None:
            print("skipped: strace is not installed (apt-get install strace)")
            return
        for ending in ("enters", "eof"):
            answers, reference = self.long_game(ending)
            trace = self.path(f"trace-{ending}.txt")
            with open(answers, "rb") as fin, open(self.path("strace-out.txt"), "wb") as fout:
                subprocess.run(["strace", "-o", trace, "-e", "trace=read,write", "-e",
                                "signal=none", self.game_prog], stdin=fin, stdout=fout,
                               env=self.env, check=True)
            reads, writes = [], []
            for line in open(trace):
                m = re.match(r"(read|write)\(([01]), .*, (\d+)\)\s+= (-?\d+)", line)
                if m:
                    (reads if m.group(1) == "read" else writes).append(
                        (int(m.group(3)), int(m.group(4))))
            in_size = os.path.getsize(answers)
            out_size = os.path.getsize(reference)
            # Every byte of input is read; the game meets the end of input only when the
            # input runs out before the last Enter.
            want_reads = math.ceil(in_size / PIECE) + (1 if ending == "eof" else 0)
            want_writes = math.ceil(out_size / PIECE)
            asks = all(asked == PIECE for asked, _ in reads)
            pieces = all(size == PIECE for size, _ in writes[:-1])
            print(f"input ending with {ending!r}: {in_size} bytes in, {out_size} bytes out")
            print(f"  reads of fd 0:  {len(reads)} (minimum {want_reads}); every read asks 128: "
                  f"{asks} -> {'met' if len(reads) == want_reads and asks else 'MISSED'}")
            print(f"  writes to fd 1: {len(writes)} (minimum {want_writes}); all but the last "
                  f"128 bytes: {pieces} -> "
                  f"{'met' if len(writes) == want_writes and pieces else 'MISSED'}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.environ.get("KVIZ_BUILD", "build"))
    parser.add_argument("--runs", type=int, default=21)
    parser.add_argument("--questions", type=int, default=100000)
    parser.add_argument("what", nargs="*", default=["startup", "game", "memory", "syscalls"])
    args = parser.parse_args()
    bench = Bench(args.build, args.runs, args.questions)
    try:
        for what in args.what:
            getattr(bench, what)()
    finally:
        shutil.rmtree(bench.scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
