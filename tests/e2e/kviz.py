# What the end-to-end tables share: the flavour of build they run on, the game as the player sees
# it (its twelve questions and the statements of a game), and one run of a program with its
# handles and limits, checked for its exit code, every output byte and the report.
import contextlib
import dataclasses
import itertools
import os
import pathlib
import platform
import pty
import re
import resource
import shutil
import subprocess
import threading
import time
import tty

import pytest

# The flavours, as sets that a test or a row names: the Linux programs natively (PLAIN, or
# built with the sanitizers), under valgrind's memcheck or, from a cross build, under qemu-user;
# the Windows programs under wine; the WebAssembly programs under node, and their page in each
# browser engine, which takes its own test only.
PLAIN, SANITIZED = frozenset({"linux"}), frozenset({"sanitized"})
LINUX, VALGRIND = PLAIN | SANITIZED, frozenset({"valgrind"})
QEMU = frozenset({"aarch64", "armv5te", "armv7", "i686", "ppc64le", "riscv64", "s390x"})
WINE, NODE = frozenset({"wine32", "wine64"}), frozenset({"node"})
PAGE = frozenset({"chromium", "firefox", "webkit"})
EVERY = LINUX | VALGRIND | QEMU | WINE | NODE

FLAVOUR = os.environ.get("KVIZ_FLAVOUR", "linux")
BIN = os.path.abspath(os.environ.get("KVIZ_BIN", "build"))
PROCESSOR = os.environ.get("KVIZ_PROCESSOR") or platform.machine()  # the programs'
# How the programs run: under the emulator that their build chose, or under memcheck.
LISTED = pathlib.Path(BIN, "emulator.txt")
EMULATOR = [item for item in LISTED.read_text().splitlines() if item] if LISTED.exists() else []
PREFIX = ["valgrind", "-q", "--error-exitcode=99", "--leak-check=full",
          "--errors-for-leak-kinds=definite"] if FLAVOUR in VALGRIND else EMULATOR


def program(name):
    return os.path.join(BIN, name + (".exe" if FLAVOUR in WINE else
                                     ".js" if FLAVOUR in NODE | PAGE else ""))


# Marks a test for the flavours that take it; the others leave it out.
on = pytest.mark.on


# The twelve questions as the player sees them ("\n" stands for CR LF), and their answers.
QUESTIONS = {
    1: (b"Kako se zove programski jezik u kome je ova igra napisana? \n", b"paskal"),
    2: (b"Koji tip varijabli ima samo cjelobrojne vrijednosti?\n", b"integer"),
    3: (b"DIV u integeru oznacava:\n1) Podjeli dva broja a ostatak zanemari.\n"
        b"2) Podjeli dva broja a ispisi ostatak.\n1/2?", b"1"),
    4: (b"Koji tip varijabli korisimo za rad sa realnim brojevima?\n", b"real"),
    5: (b"Koju naredbu korisimo za korjenovanje izraza?\n", b"sqrt"),
    6: (b"Koji tip varijabli ima samo 2 stanja (TRUE i FALSE)?\n", b"boolean"),
    7: (b"Varijablom tipa CHAR mozemo da zapamtimo svaki unos sa tastature\n"
        b"u duzini od jednog znaka.\n1) Da.\n2) Ne.\n", b"1"),
    8: (b"Da li u INTEGERU mozemo da koristimo znak za djeljenje (/)?\n1) Da.\n2) Ne.\n", b"2"),
    9: (b"Program napisan u Paskalu se:\n1) Kompajlira.\n2) Interpretira.\n", b"1"),
    10: (b'U izrazu s:=1000*1000, varijabla "s" mora biti iz skupa:\n1) Integer.\n2) Real.\n',
         b"2"),
    11: (b"Svaka procedure moze da zamjeni funkciju.\n1) Da.\n2) Ne.\n", b"1"),
    12: (b'Funkcija moze sadrzavati naredbu "write" i "raed"?\n1) Da.\n2) Ne.\n', b"2"),
}
READ = None  # a step where the game reads a line


# The game's console statements in order, READ where it reads a line. The draws repeat; once
# the answers are used up, the input is at its end and gives empty lines.
def game(draws, answers):
    steps, right = [], 0
    asked = (k for k in itertools.cycle(draws) if k)
    for answer in [*answers, b""]:
        text, expected = QUESTIONS[next(asked)]
        steps += [line.replace(b"\n", b"\r\n") for line in re.findall(rb"[^\n]*\n|.+", text)]
        if answer != expected:
            return steps + [READ, b"Pogresan odgovor, tacan odgovor je " + expected + b".\r\n",
                            b"Broj netacnih odgovora: ", b"1", READ, b"Broj tacnih odgovora: ",
                            b"%d" % right, b"\r\n", b'Pritisni "Enter" za izlaz!\r\n', READ]
        steps += [READ, b"Tacan odgovor.\r\n", READ]
        right += 1


def output(steps):
    return b"".join(s for s in steps if s is not READ)


# The answers, each followed by an Enter to go on; the last by the two that end the game.
def typed(answers, end=b"\r\n"):
    return b"".join(a + end * 2 for a in answers[:-1]) + answers[-1] + end * 3


def asked(k):
    return output(game([k], [])).split(b"Pogresan")[0]


# The sizes of the writes of data to a file or pipe: 128 bytes each, the rest at the end.
def pieces(data):
    return [128] * (len(data) // 128) + [len(data) % 128] * (len(data) % 128 > 0)


# One run of a program and what it must give. Standard input is "pipe", "file", "slow" (its
# lines one by one into a non-blocking pipe that stays open), "null", "zero", "dir" or
# "closed"; standard output "pipe", "file", "null", "full", "readonly", "dir", "closed" or
# "noreader" (a pipe whose reader has gone); standard error "pipe" or "closed". Both "terminal":
# one raw pseudo-terminal, as a console is, the input typed ahead.
@dataclasses.dataclass
class Run:
    name: str
    on: frozenset = LINUX | QEMU | NODE
    program: str = ""  # by default kviz_scripted with draws, else kviz
    args: tuple = ()
    draws: tuple = ()  # what the draws give, in turn (KVIZ_DRAWS)
    answers: tuple = ()
    input: bytes = None  # by default the answers, typed
    stdin: str = "pipe"
    stdout: str = "pipe"
    stderr: str = "pipe"
    fsize: int = 0  # the limits on a file's size and on the address space
    memory: int = 0
    code: int = 0
    exception: bytes = b"EInOutError"
    report: bytes = b""  # its message; without one nothing may reach standard error
    outs: tuple = ()  # what standard output may hold; by default the game's model
    writes: tuple = None  # the sizes of standard output's writes
    inject: tuple = ()  # strace's faults; "poll" stands for the wait's call
    only: tuple = ()  # the files whose calls strace counts, in the run's folder or absolute

    def __post_init__(self):
        self.program = self.program or ("kviz_scripted" if self.draws else "kviz")
        if self.input is None:
            self.input = typed(self.answers or [b""])
        if not self.outs:  # without draws the game asks any question and meets the end
            self.outs = (output(game(self.draws, self.answers)),) if self.draws else tuple(
                output(game([k], [])) for k in QUESTIONS)


def rows(*runs):
    return [pytest.param(run, id=run.name, marks=on(run.on)) for run in runs]


# Runs once with the run's handles and limits. Returns the exit code, what standard output and
# error took, the program's path, and standard output's name in an strace log.
def launch(run, tmp, tracer=()):
    path, out, piped = program(run.program), tmp / "out", subprocess.PIPE
    (tmp / "in").write_bytes(run.input)
    out.write_bytes(b"")
    command, feed = [*tracer, *PREFIX, path, *run.args], run.input if run.stdin == "pipe" else None
    if FLAVOUR in WINE and feed is not None:  # a Windows pipe, which ends as it does on Windows
        command[len(tracer) + len(PREFIX):] = ["cmd", "/c", " ".join(
            ["type", "Z:" + str(tmp / "in"), "|", "Z:" + path, *run.args]).replace("/", "\\")]
        feed = b""
    # "closed": a file that the child closes.
    inputs = {"file": tmp / "in", "closed": tmp / "in", "null": "/dev/null", "zero": "/dev/zero",
              "dir": tmp}
    outputs = {"file": out, "closed": out, "readonly": out, "null": "/dev/null",
               "full": "/dev/full", "dir": tmp}
    source = os.open(inputs[run.stdin], os.O_RDONLY) if run.stdin in inputs else piped
    sink = os.open(outputs[run.stdout], os.O_RDONLY if run.stdout in ("readonly", "dir") else
                   os.O_WRONLY) if run.stdout in outputs else piped
    if run.stdin == "slow":
        source, writer = os.pipe()
        os.set_blocking(source, False)
    if run.stdout == "noreader":
        reader, sink = os.pipe()
        os.close(reader)
    if run.stdin == "terminal":
        console, source = pty.openpty()
        tty.setraw(source)
        sink = source
        os.write(console, run.input)
    closed = [fd for fd, how in enumerate((run.stdin, run.stdout, run.stderr)) if how == "closed"]
    limits = [(which, value) for which, value in
              ((resource.RLIMIT_FSIZE, run.fsize), (resource.RLIMIT_AS, run.memory)) if value]

    def setup():  # in the child; only when needed, since it must not run beside a thread
        for which, value in limits:
            resource.setrlimit(which, (value, value))
        for fd in closed:
            os.close(fd)
    proc = subprocess.Popen(command, stdin=source, stdout=sink, stderr=piped,
                            env=dict(os.environ, KVIZ_DRAWS=",".join(map(str, run.draws))),
                            preexec_fn=setup if closed or limits else None)
    target = {"file": os.path.realpath(out), "null": "/dev/null"}.get(run.stdout)
    if run.stdout == "pipe":
        target = "pipe:[%d]" % os.fstat(proc.stdout.fileno()).st_ino
    for handle in {source, sink} - {piped}:
        os.close(handle)
    if run.stdin == "slow":
        def write_slowly():
            for line in run.input.splitlines(keepends=True):
                os.write(writer, line)
                time.sleep(0.05)
            proc.wait()
            os.close(writer)
        threading.Thread(target=write_slowly, daemon=True).start()
    try:
        taken, errors = proc.communicate(feed, timeout=120)
    finally:
        proc.kill()
    taken = out.read_bytes() if run.stdout in ("file", "readonly") else taken or b""
    if run.stdin == "terminal":  # the screen, up to the end of the program
        with contextlib.suppress(OSError):
            while shown := os.read(console, 4096):
                taken += shown
        os.close(console)
    return proc.returncode, taken, errors, path, target


# The system calls of a wait for input: ppoll where the C library has no other (aarch64,
# riscv64), and under qemu, which makes every wait of its program one; under node its event
# loop's.
WAIT = "ppoll" if FLAVOUR in QEMU or PROCESSOR in ("aarch64", "riscv64") else "poll"
if FLAVOUR in NODE:
    WAIT = "epoll_wait,epoll_pwait"
STRACE = shutil.which("strace") and subprocess.run(
    ["strace", "-qq", "-e", "trace=none", "true"], stderr=subprocess.DEVNULL).returncode == 0
ADDRESS = rb"(?!00000000)[0-9A-F]{8}"  # no code lies at the start of the program's module


# Runs the row once and checks its exit code, standard error, standard output and, under
# strace, its injected faults and the sizes of its writes.
def check(run, tmp):
    if (run.writes is not None or run.inject) and not STRACE:
        pytest.skip("strace cannot run here")
    log, tracer = tmp / "trace", []
    inject = [WAIT + way[4:] if way.startswith("poll:") else way for way in run.inject]
    if run.writes is not None or inject:
        # A log for each thread, since a call of one that another interrupts takes two lines.
        tracer = ["strace", "-ff", "-y", "-qq", "-o", str(log)]
        tracer += [a for path in run.only for a in ("-P", str(tmp / path))]
        tracer += [a for way in inject for a in ("-e", "inject=" + way)]
    code, out, err, path, target = launch(run, tmp, tracer)

    assert code == run.code, err
    if run.report:
        assert re.fullmatch(rb"Exception %s in module %s at %s\.\r\n%s\r\n\r\n" % (
            run.exception, re.escape(os.path.basename(path).encode()), ADDRESS,
            re.escape(run.report)), err), err
    else:
        assert err == b""
    if run.stdout in ("pipe", "file", "readonly", "terminal"):  # else nothing to read back
        assert out in run.outs
    calls = "".join(log.read_text() for log in sorted(tmp.glob("trace.*")))
    for way in inject:  # of each set of calls, one at least
        assert re.search(r"\b(%s)\(.*INJECTED" % way.split(":")[0].replace(",", "|"), calls)
    if run.writes is not None:
        written = re.findall(r"write\(\d+<%s>, .*\) += (\d+)" % re.escape(target), calls)
        assert list(map(int, written)) == list(run.writes)
