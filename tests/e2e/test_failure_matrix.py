"""The failure matrix: kviz run end to end under broken handles, limits, interruptions and hostile
input. Each case checks the exit code, standard error and what reached the output file: a fault
ends with one clean report and exit code 1, and no byte written before it is lost."""
import os
import random
import re
import resource
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import unittest

from kvizrun import KVIZ, KVIZ_SCRIPTED

# Set by the build for a sanitizer build, whose shadow memory cannot live under an address-space cap.
SANITIZED = os.environ.get("KVIZ_SANITIZED", "") not in ("", "0", "OFF")

QUESTION_4 = b"Koji tip varijabli korisimo za rad sa realnim brojevima?\r\n"
GAME_END = b'Pritisni "Enter" za izlaz!\r\n'


def report_re(cls, message, program):
    """The three report lines, the address being any eight uppercase hex digits."""
    return re.compile(rb"Exception " + cls + rb" in module " + re.escape(os.path.basename(program).encode())
                      + rb" at [0-9A-F]{8}\.\r\n" + re.escape(message) + rb"\r\n\r\n")


def io_report(message, program):
    return report_re(b"EInOutError", message, program)


def child_setup(close=(), limits=()):
    """A preexec function: signals at their defaults, so that only kviz's own handling can keep a
    closed pipe or a size limit from killing it; then the given descriptors closed, limits set."""
    def setup():
        signal.signal(signal.SIGPIPE, signal.SIG_DFL)
        signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
        for which, value in limits:
            resource.setrlimit(which, (value, value))
        for fd in close:
            os.close(fd)
    return setup


def run(program, stdin=b"", stdout=subprocess.PIPE, draws=None, close=(), limits=(), timeout=60):
    env = dict(os.environ)
    env.pop("KVIZ_DRAWS", None)
    if draws is not None:
        env["KVIZ_DRAWS"] = ",".join(map(str, draws))
    feed = stdin if isinstance(stdin, bytes) else None
    # No preexec function without need: it is not safe while another thread runs. Python
    # itself puts SIGPIPE and SIGXFSZ back to their defaults in the child.
    setup = child_setup(close, limits) if close or limits else None
    proc = subprocess.run([program], input=feed, stdin=None if feed is not None else stdin,
                          stdout=stdout, stderr=subprocess.PIPE, env=env, timeout=timeout,
                          preexec_fn=setup, restore_signals=True)
    return proc


class MatrixCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kviz-matrix-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def run_to_file(self, program, name="out", **kwargs):
        """Runs with standard output redirected to a fresh file; returns (process, file bytes)."""
        with open(self.path(name), "wb") as out:
            proc = run(program, stdout=out, **kwargs)
        with open(self.path(name), "rb") as f:
            return proc, f.read()

    def reference(self, draws, stdin):
        """What a healthy run with the same draws and input writes."""
        proc = run(KVIZ_SCRIPTED, stdin=stdin, draws=draws)
        self.assertEqual((proc.returncode, proc.stderr), (0, b""))
        return proc.stdout

    def assert_ends(self, proc, code, stderr_re=None):
        self.assertEqual(proc.returncode, code, proc.stderr)
        if stderr_re is None:
            self.assertEqual(proc.stderr, b"")
        else:
            self.assert_report(proc.stderr, stderr_re)

    def assert_report(self, stderr, pattern):
        """Exactly one report and nothing else."""
        self.assertIsNotNone(pattern.fullmatch(stderr), stderr)


class BrokenStandardHandles(MatrixCase):
    def test_stdout_closed(self):
        proc = run(KVIZ, stdin=b"x\n\n\n", stdout=None, close=(1,))
        self.assert_ends(proc, 1, io_report(b"I/O error 105.", KVIZ))

    def test_stdin_closed(self):
        # The question is written before the read finds no handle; the report writes it out.
        proc, out = self.run_to_file(KVIZ_SCRIPTED, draws=[4], stdin=None, close=(0,))
        self.assert_ends(proc, 1, io_report(b"I/O error 104.", KVIZ_SCRIPTED))
        self.assertEqual(out, QUESTION_4)

    def test_stdin_a_directory(self):
        fd = os.open(self.dir, os.O_RDONLY | os.O_DIRECTORY)
        self.addCleanup(os.close, fd)
        proc, out = self.run_to_file(KVIZ_SCRIPTED, draws=[4], stdin=fd)
        self.assert_ends(proc, 1, io_report(b"File access denied.", KVIZ_SCRIPTED))
        self.assertEqual(out, QUESTION_4)

    def test_stdout_dev_full(self):
        # A character device: the first statement's write-out fails, and nothing more is tried.
        with open("/dev/full", "wb") as full:
            proc = run(KVIZ, stdin=b"x\n\n\n", stdout=full)
        self.assert_ends(proc, 1, io_report(b"I/O error 112.", KVIZ))

    def test_stdout_open_for_reading_only(self):
        with open(self.path("out"), "wb"):
            pass
        with open(self.path("out"), "rb") as read_only:
            proc = run(KVIZ, stdin=b"x\n\n\n", stdout=read_only)
        self.assert_ends(proc, 1, io_report(b"I/O error 6.", KVIZ))

    def test_stderr_closed_while_a_report_is_due(self):
        # The report is lost, the exit code is not: mid-game, after a failed read, at the end.
        with open("/dev/full", "wb") as full:
            proc = run(KVIZ, stdin=b"x\n\n\n", stdout=full, close=(2,))
        self.assertEqual(proc.returncode, 1)
        fd = os.open(self.dir, os.O_RDONLY | os.O_DIRECTORY)
        self.addCleanup(os.close, fd)
        proc, out = self.run_to_file(KVIZ_SCRIPTED, draws=[4], stdin=fd, close=(2,))
        self.assertEqual(proc.returncode, 1)
        self.assertEqual(out, QUESTION_4)
        proc, out = self.run_to_file(KVIZ_SCRIPTED, draws=[4], stdin=b"x\n\n\n", close=(2,),
                                     limits=((resource.RLIMIT_FSIZE, 128),))
        self.assertEqual(proc.returncode, 1)
        self.assertEqual(out, self.reference([4], b"x\n\n\n")[:128])

    def test_report_whose_own_write_out_fails(self):
        # The read fails; the report's write-out of the held question meets the size limit, and
        # that failure's report replaces the first one.
        fd = os.open(self.dir, os.O_RDONLY | os.O_DIRECTORY)
        self.addCleanup(os.close, fd)
        proc, out = self.run_to_file(KVIZ_SCRIPTED, draws=[4], stdin=fd,
                                     limits=((resource.RLIMIT_FSIZE, 10),))
        self.assert_ends(proc, 1, io_report(b"I/O error 223.", KVIZ_SCRIPTED))
        self.assertEqual(out, QUESTION_4[:10])


class ClosedPipe(MatrixCase):
    def test_reader_gone_from_the_start(self):
        # The game's output passes 128 bytes before it ends, so the write-out fails mid-game.
        r, w = os.pipe()
        os.close(r)
        try:
            proc = run(KVIZ_SCRIPTED, stdin=b"x\n\n\n", stdout=w, draws=[4])
        finally:
            os.close(w)
        self.assert_ends(proc, 1, io_report(b"I/O error 232.", KVIZ_SCRIPTED))

    def test_reader_gone_before_the_final_write_out(self):
        # Question 4 answered wrongly: the first 128 bytes go out during the first wait for
        # Enter; the reader leaves after taking them, so only the final write-out fails.
        expected = self.reference([4], b"x\n\n\n")
        r, w = os.pipe()
        env = dict(os.environ, KVIZ_DRAWS="4")
        proc = subprocess.Popen([KVIZ_SCRIPTED], stdin=subprocess.PIPE, stdout=w,
                                stderr=subprocess.PIPE, env=env, preexec_fn=child_setup())
        self.addCleanup(proc.kill)
        os.close(w)
        try:
            proc.stdin.write(b"x\n\n")
            proc.stdin.flush()
            first = b""
            while len(first) < 128:
                piece = os.read(r, 128 - len(first))
                self.assertTrue(piece, "kviz wrote less than a buffer before the last wait")
                first += piece
        finally:
            os.close(r)
        proc.stdin.write(b"\n")
        proc.stdin.close()
        stderr = proc.stderr.read()
        proc.wait(timeout=30)
        proc.stderr.close()
        self.assertEqual(first, expected[:128])
        self.assertEqual(proc.returncode, 1, stderr)
        self.assert_report(stderr, io_report(b"I/O error 232.", KVIZ_SCRIPTED))


class FileSizeLimit(MatrixCase):
    # Four correct answers and a wrong one: several write-outs, then the final one.
    DRAWS = [4, 4, 4, 4, 2]
    INPUT = b"real\n\n" * 4 + b"x\n\n\n"

    def run_limited(self, limit):
        return self.run_to_file(KVIZ_SCRIPTED, draws=self.DRAWS, stdin=self.INPUT,
                                limits=((resource.RLIMIT_FSIZE, limit),))

    def check(self, limit):
        expected = self.reference(self.DRAWS, self.INPUT)
        proc, out = self.run_limited(limit)
        self.assert_ends(proc, 1, io_report(b"I/O error 223.", KVIZ_SCRIPTED))
        # Every byte up to the limit is there, and nothing after a lost one.
        self.assertEqual(out, expected[:limit])
        return expected

    def test_reached_mid_game(self):
        # Exactly at a piece's end, and inside a piece (a short write, then the failure).
        for limit in (128, 200):
            with self.subTest(limit=limit):
                self.check(limit)

    def test_reached_at_the_final_write_out(self):
        expected = self.reference(self.DRAWS, self.INPUT)
        last = len(expected) // 128 * 128
        self.assertNotEqual(last, len(expected), "the game must leave bytes for the end")
        for limit in (last, (last + len(expected)) // 2):  # nothing fits; part of it fits
            with self.subTest(limit=limit):
                self.check(limit)

    def test_limit_just_large_enough(self):
        expected = self.reference(self.DRAWS, self.INPUT)
        proc, out = self.run_limited(len(expected))
        self.assert_ends(proc, 0)
        self.assertEqual(out, expected)


class SlowAndInterruptedInput(MatrixCase):
    def test_nonblocking_pipe_with_a_slow_writer(self):
        draws, lines = [4, 4], [b"real\n", b"\n", b"x\n", b"\n", b"\n"]
        expected = self.reference(draws, b"".join(lines))
        r, w = os.pipe()
        os.set_blocking(r, False)

        def writer():
            try:
                for line in lines:
                    time.sleep(0.5)
                    os.write(w, line)
            finally:
                os.close(w)
        thread = threading.Thread(target=writer)
        thread.start()
        try:
            proc = run(KVIZ_SCRIPTED, stdin=r, draws=draws)
        finally:
            thread.join()
            os.close(r)
        self.assert_ends(proc, 0)
        self.assertEqual(proc.stdout, expected)

    def syscall_index(self, log, call, fd):
        """1-based position of the first `call` on `fd` among all `call`s in an strace log."""
        calls = [line for line in log.splitlines() if re.match(call + r"\(\d+,", line)]
        for i, line in enumerate(calls, 1):
            if line.startswith("%s(%d," % (call, fd)):
                return i
        self.fail("no %s on %d in the trace" % (call, fd))

    def test_reads_and_writes_interrupted(self):
        if shutil.which("strace") is None:
            self.skipTest("strace is not installed")
        # Input longer than a buffer load and output of many pieces, to a file.
        draws, stdin = [4], b"real\n\n" * 30 + b"x\n\n\n"
        with open(self.path("in"), "wb") as f:
            f.write(stdin)
        expected = self.reference(draws, stdin)
        env = dict(os.environ, KVIZ_DRAWS="4")
        log = self.path("trace")

        def traced(*inject):
            with open(self.path("in"), "rb") as inp, open(self.path("out"), "wb") as out:
                proc = subprocess.run(["strace", "-qq", "-o", log, "-e", "trace=read,write"]
                                      + [a for i in inject for a in ("-e", "inject=" + i)]
                                      + [KVIZ_SCRIPTED], stdin=inp, stdout=out,
                                      stderr=subprocess.PIPE, env=env, timeout=60)
            with open(self.path("out"), "rb") as f, open(log) as t:
                return proc, f.read(), t.read()

        proc, out, trace = traced()
        if proc.returncode != 0 and b"ptrace" in proc.stderr:
            self.skipTest("ptrace is not permitted here")
        first_read = self.syscall_index(trace, "read", 0)
        first_write = self.syscall_index(trace, "write", 1)
        # Every other call from the first one on is interrupted, so each read and write of the
        # game meets EINTR once before it gets through; and one read meets it three times.
        proc, out, trace = traced("read:error=EINTR:when=%d+2" % first_read,
                                  "write:error=EINTR:when=%d+2" % first_write)
        self.assertEqual((proc.returncode, proc.stderr), (0, b""))
        self.assertEqual(out, expected)
        self.assertGreaterEqual(len(re.findall(r"^read\(0, .*EINTR.*INJECTED", trace, re.M)), 2)
        self.assertGreaterEqual(len(re.findall(r"^write\(1, .*EINTR.*INJECTED", trace, re.M)), 3)
        proc, out, trace = traced("read:error=EINTR:when=%d..%d" % (first_read, first_read + 2))
        self.assertEqual((proc.returncode, proc.stderr, out), (0, b"", expected))
        self.assertEqual(len(re.findall(r"^read\(0, .*EINTR.*INJECTED", trace, re.M)), 3)


class HostileInput(MatrixCase):
    def test_100_mib_answer_line(self):
        # Judged whole: it starts with the right answer, is wrong, and its end is found, so the
        # waits for Enter take the two lines after it.
        line = b"real" + b"a" * ((100 << 20) - 4) + b"\n"
        stdin = b"real\n\n" + line + b"\n\n"
        proc = run(KVIZ_SCRIPTED, stdin=stdin, draws=[4, 4], timeout=120)
        self.assert_ends(proc, 0)
        self.assertEqual(proc.stdout, self.reference([4, 4], b"real\n\nx\n\n\n"))

    def test_endless_line_under_a_memory_cap(self):
        if SANITIZED:
            self.skipTest("sanitizer shadow memory does not fit under an address-space cap")
        with open("/dev/zero", "rb") as zero:
            proc = run(KVIZ, stdin=zero, limits=((resource.RLIMIT_AS, 128 << 20),))
        self.assert_ends(proc, 1, report_re(b"EOutOfMemory", b"Out of memory.", KVIZ))
        # The question asked before the read was written out by the report.
        self.assertRegex(proc.stdout, rb"\A([ -~]+\r\n)+(1/2\?)?\Z")

    def test_random_binary_input(self):
        rng = random.Random(20261206)
        sizes = sorted({0, 1, 2, 25, 26, 27, 127, 128, 129, 255, 256, 257, 4096, 65535, 1 << 20}
                       | {rng.randrange(1, 3000) for _ in range(12)})
        for size in sizes:
            stdin = bytes(rng.getrandbits(8) for _ in range(size))
            with self.subTest(size=size):
                proc = run(KVIZ, stdin=stdin)
                self.assert_ends(proc, 0)
                self.assertTrue(proc.stdout.endswith(GAME_END), proc.stdout[-200:])

    def test_nul_and_high_bytes_are_ordinary(self):
        cases = [
            # A wait line full of them is skipped whole; the next answer is read in step.
            (b"real\n" + b"\x00\xff\x8a\x8d\x9a junk\r\n" + b"real\n\n" + b"x\n\n\n", b"real\n\nreal\n\nx\n\n\n"),
            # A NUL does not end the answer, so the answer is not the word before it.
            (b"real\x00\n\n\n", b"x\n\n\n"),
            (b"real\x00tail\n\n\n", b"x\n\n\n"),
            # The high bit is kept: these are not the letters of real, nor their line ends.
            (b"\xf2\xe5\xe1\xec\n\n\n", b"x\n\n\n"),
            (b"real\x8a\n\n\n", b"x\n\n\n"),
            (b"rea\x8dl\n\n\n", b"x\n\n\n"),
        ]
        for stdin, equivalent in cases:
            with self.subTest(stdin=stdin):
                proc = run(KVIZ_SCRIPTED, stdin=stdin, draws=[4])
                self.assert_ends(proc, 0)
                self.assertEqual(proc.stdout, self.reference([4], equivalent))


if __name__ == "__main__":
    unittest.main()
