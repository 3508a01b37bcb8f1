#!/usr/bin/env python3
"""Start-up to the first question on a terminal: the time from starting a command to the first
byte it writes on a pseudo-terminal, median of N runs (the game ends on its empty input).
Usage: python3 bench/first_question.py N COMMAND...   e.g. 30 node build-wasm/kviz.js"""
import os
import pty
import statistics
import subprocess
import sys
import time

runs, command, times = int(sys.argv[1]), sys.argv[2:], []
for _ in range(runs):
    console, terminal = pty.openpty()
    started = time.perf_counter()
    game = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=terminal, stderr=terminal)
    os.read(console, 1)
    times.append(time.perf_counter() - started)
    game.wait()
    os.close(terminal)
    os.close(console)
print("%s: first byte on a terminal after %.1f ms (median of %d)"
      % (" ".join(command), statistics.median(times) * 1000, runs))
