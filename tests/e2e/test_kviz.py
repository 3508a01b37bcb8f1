# The game end to end: one table of runs of the real programs over pipes, files, devices,
# closed handles and limits, each checked for its exit code, every output byte and the report;
# then the Windows image and the player on a raw terminal.
import itertools
import os
import pty
import re
import resource
import select
import shutil
import struct
import subprocess
import threading
import time
import tty

import pytest

from conftest import EMULATED, FLAVOUR, PREFIX, PROCESSOR, SANITIZED, WINE, program

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


class File(bytes):  # input given as a regular file
    pass


class Slow(list):  # input lines, the first at once, the others after pauses, into a
    pass  # non-blocking pipe that stays open


LONG = dict(draws=[4, 4, 4, 4, 2], answers=[b"real"] * 4 + [b"x"], stdout="file")
END = len(output(game(LONG["draws"], LONG["answers"])))
MIXED = dict(draws=[4, 2, 0, 3, 7, 9], answers=[b"real", b"integer", b"1", b"1", b"2"])
ALL = [QUESTIONS[k][1] for k in QUESTIONS]
ADDRESS = rb"(?!00000000)[0-9A-F]{8}"  # no code lies at the start of the program's module
# The fault probe's faults and their numbers; an integer division by zero does not trap on
# aarch64 (the quotient is 0) and the probe ends normally. A faulting routine of the probe is
# smaller than ROUTINE bytes.
FAULTS = {"access": 216, "divide": 0 if PROCESSOR == "aarch64" else 200, "trap": 255,
          "illegal": 255, "none": 0}
ROUTINE = 64


# One run, taken by the flavours named in `on` (Linux, Wine of both widths, Valgrind, Qemu: by
# default the Linux programs, natively and under qemu). Fields: program, args, draws, answers, stdin (bytes
# for a pipe, File, Slow, "null", "zero", "dir", "closed"), stdout ("pipe", "file", "null",
# "full", "closed", "readonly", "dir", "noreader"), stderr, fsize, memory, writes (pieces,
# statements or sizes), inject (strace's, counting only the calls on the files in `only`, not
# the loader's or a sanitizer's; "poll" is the wait's call, whichever it is); expected: code,
# report (message, or class and message), out; and what differs under wine.
def row(name, on="LQ", wine={}, **fields):
    fields.update(wine if WINE else {})  # where wine is not Windows
    return pytest.param(fields, id=name, marks=pytest.mark.on(on))


ROWS = [
    # Whole games, byte for byte: every question, the line ends, the waits for Enter.
    row("every question, then a wrong answer of 706 bytes", "LWVQ", draws=[*range(1, 13), 1],
        answers=[*ALL, b"paskal" + b"a" * 700]),
    row("LF ends, text typed in the waits is not judged", "LWQ", draws=[4, 3, 0, 6, 12],
        stdin=b"real\nignored\n1\n\nboolean\n\n2.\nreal\n1\n",
        answers=[b"real", b"1", b"boolean", b"2."]),
    row("lone CR dropped, trailing blank wrong", "LWQ", draws=[4, 2, 0, 3, 7, 9],
        stdin=b"re\ral\r\n\r\ninteger\r\n\r\n1\r\n\r\n1\r\n\r\n1 \r\n\r\n\r\n",
        answers=[b"real", b"integer", b"1", b"1", b"1 "]),
    row("byte 26 ends the answer and every wait after it", "LWQ", draws=[4, 2],
        stdin=b"real\r\n\x1arest\r\n\r\n", answers=[b"real"]),
    row("input ends inside the answer", "LWQ", draws=[4], stdin=b"real", answers=[b"real"]),
    row("empty input file: a drawn question", "LWVQ", stdin=File(), args=["--help", "-v"]),
    row("empty input pipe: a drawn question", "LWQ", stdin=b""),
    row("NUL and high bytes are ordinary", "LWQ", draws=[4, 4],
        stdin=b"real\n\x00\xff\x8a\x8d\r\nreal\x00\n\n\n", answers=[b"real", b"real\x00"]),
    row("a 100 MiB answer line", draws=[4, 4], answers=[b"real", b"real" * (25 << 20)]),
    row("slow writer, non-blocking pipe, interrupted wait", draws=[4, 4],
        stdin=Slow([b"real\n", b"\n", b"x\n", b"\n", b"\n"]), answers=[b"real", b"x"],
        inject=["poll:error=EINTR:when=1"]),
    row("a wait for Enter that fails is the read's failure", stdin=Slow([b"x\n"]), draws=[4],
        stdout="file", out=output(game([4], [b"x"])).split(b"Broj tacnih")[0], code=1,
        report=b"I/O error 8.", inject=["poll:error=ENOMEM"]),
    row("every other read and write interrupted", stdout="file", draws=[4],
        stdin=File(typed([b"real"] * 30 + [b"x"], b"\n")), answers=[b"real"] * 30 + [b"x"],
        inject=["read:error=EINTR:when=1+2", "write:error=EINTR:when=1+2"],
        only=["in", "out"]),
    # When the bytes reach the handle.
    row("to a file: 128-byte pieces, the rest at the end", "LWQ", stdout="file", **MIXED,
        writes="pieces"),
    row("to a pipe: 128-byte pieces, the rest at the end", **MIXED, writes="pieces"),
    row("to /dev/null: each statement as it ends", "LWQ", stdout="null", **MIXED,
        writes="statements"),
    # Broken handles and limits: one report, exit code 1, no byte written before it lost.
    row("stdout closed", stdout="closed", code=1, report=b"I/O error 105."),
    row("stdin closed", stdin="closed", draws=[4], stdout="file", out=asked(4), code=1,
        report=b"I/O error 104."),
    row("stdin a directory", "LVQ", stdin="dir", draws=[4], stdout="file", out=asked(4),
        code=1, report=b"File access denied."),
    row("stdout /dev/full", "LWQ", stdout="full", code=1, report=b"I/O error 112."),
    row("stdout open for reading only", stdout="readonly", out=b"", code=1,
        report=b"I/O error 6."),
    row("stdout a directory", stdout="dir", code=1, report=b"I/O error 105."),
    # Each statement of a lost game failing in turn: nothing after it is written.
    *[row("a failed statement ends the game at once: write %d" % n, stdout="null", draws=[4],
          answers=[b"x"], inject=["write:error=ENOSPC:when=%d" % n], only=["/dev/null"],
          writes=[len(s) for s in game([4], [b"x"]) if s][:n - 1], code=1,
          report=b"I/O error 112.") for n in range(1, 9)],
    row("stderr closed: the report is lost, the code is not", "LWQ", stdout="full",
        stderr="closed", code=1),
    row("stdout a pipe whose reader has gone", "LWQ", stdout="noreader", draws=[4], code=1,
        report=b"I/O error 232.", wine=dict(report=b"I/O error 233.")),
    # At a piece's end, inside a piece (a short write, then the failure), in the final
    # write-out, and just large enough.
    *[row("file size limit %d of %d" % (limit, END), **LONG, fsize=limit, out=limit,
          code=int(limit < END), report=b"I/O error 223." if limit < END else None)
      for limit in (128, 200, END - 10, END)],
    row("the report's own write-out fails", stdin="dir", draws=[4], stdout="file", fsize=10,
        out=asked(4)[:10], code=1, report=b"I/O error 223."),
    # Not under the sanitizers, whose shadow memory does not fit under the cap.
    *[row("an endless line under an address-space cap", "L", stdin="zero", memory=128 << 20,
          code=1, report=(b"EOutOfMemory", b"Out of memory."), out=[asked(k) for k in QUESTIONS])][
        SANITIZED:],
    # Processor faults: the held output, which names the routine that faults, the run-time error
    # text with the fault's number and the faulting instruction's address in that routine.
    *[row("processor fault: " + fault, "LWQ", program="fault_probe", args=[fault], stdin="null",
          stdout="file", code=code, out=re.compile(rb"held at ([0-9A-F]{8})\r\n" + (
              rb"Runtime error %d at ([0-9A-F]{8})\x00\r\n" % code if code else b"")))
      for fault, code in FAULTS.items()],
]


# Runs the case's program once with its handles and limits; returns its exit code, what its
# standard output and error took, the program's path, and the output's name in an strace log.
def launch(case, tmp, tracer=()):
    path = program(case.get("program", "kviz_scripted" if "draws" in case else "kviz"))
    env = {k: v for k, v in os.environ.items() if k != "KVIZ_DRAWS"}
    if "draws" in case:
        env["KVIZ_DRAWS"] = ",".join(map(str, case["draws"]))
    stdin, kind = case.get("stdin", typed(case.get("answers", [b""]))), case.get("stdout", "pipe")
    source, feed, sink, out = subprocess.PIPE, None, subprocess.PIPE, tmp / "out"
    close = [fd for fd, how in enumerate((stdin, kind, case.get("stderr"))) if how == "closed"]
    if type(stdin) is bytes:
        feed = stdin
    elif isinstance(stdin, Slow):
        source, writer = os.pipe()
        os.set_blocking(source, False)
        os.write(writer, stdin[0])
    else:  # a file, a device or a directory; "closed" closes an empty file in the child
        (tmp / "in").write_bytes(stdin if isinstance(stdin, File) else b"")
        where = {"null": "/dev/null", "zero": "/dev/zero", "dir": tmp}.get(stdin, tmp / "in")
        source = os.open(where, os.O_RDONLY)
    if kind == "noreader":
        reader, sink = os.pipe()
        os.close(reader)
    elif kind != "pipe":
        out.write_bytes(b"")
        where = {"null": "/dev/null", "full": "/dev/full", "dir": tmp}.get(kind, out)
        sink = os.open(where, os.O_WRONLY if kind in ("file", "null", "full") else os.O_RDONLY)
    limits = [(resource.RLIMIT_FSIZE, case.get("fsize")), (resource.RLIMIT_AS, case.get("memory"))]
    limits = [(which, value) for which, value in limits if value]

    def setup():  # in the child; only when needed, since it must not run beside a thread
        for which, value in limits:
            resource.setrlimit(which, (value, value))
        for fd in close:
            os.close(fd)
    command = [*tracer, *PREFIX, path, *case.get("args", [])]
    if WINE and feed is not None:
        # A unix pipe ends differently under wine than a Windows pipe does on Windows.
        windows_path = "Z:" + path.replace("/", "\\")
        command[len(tracer) + 1:len(tracer) + 2] = [program("pipe_run"), windows_path]
    proc = subprocess.Popen(command, stdin=source, stdout=sink, stderr=subprocess.PIPE, env=env,
                            preexec_fn=setup if close or limits else None)
    target = {"file": os.path.realpath(out), "null": "/dev/null"}.get(kind)
    if kind == "pipe":
        target = "pipe:[%d]" % os.fstat(proc.stdout.fileno()).st_ino
    for handle in (source, sink):
        if handle not in (subprocess.PIPE, None):
            os.close(handle)
    if isinstance(stdin, Slow):
        def write_slowly():
            for line in stdin[1:]:
                time.sleep(0.05)
                os.write(writer, line)
            proc.wait()
            os.close(writer)
        threading.Thread(target=write_slowly, daemon=True).start()
    try:
        piped, errors = proc.communicate(feed, timeout=120)
    finally:
        proc.kill()
    taken = out.read_bytes() if kind in ("file", "readonly") else piped or b""
    return proc.returncode, taken, errors, path, target


# The system call of a wait for input: ppoll where the C library has no other (aarch64), and
# under qemu, which makes every wait of its program one.
WAIT = "ppoll" if EMULATED or PROCESSOR == "aarch64" else "poll"
STRACE = shutil.which("strace") and subprocess.run(
    ["strace", "-qq", "-e", "trace=none", "true"], stderr=subprocess.DEVNULL).returncode == 0


@pytest.mark.parametrize("case", ROWS)
def test_run(case, tmp_path):
    if ("writes" in case or "inject" in case) and not STRACE:
        pytest.skip("strace cannot run here")
    log, tracer = tmp_path / "trace", []
    inject = [WAIT + way[4:] if way.startswith("poll:") else way for way in case.get("inject", [])]
    if "writes" in case or inject:
        tracer = ["strace", "-f", "-y", "-qq", "-o", str(log)]
        tracer += [a for path in case.get("only", []) for a in ("-P", str(tmp_path / path))]
        tracer += [a for way in inject for a in ("-e", "inject=" + way)]
    code, out, err, path, target = launch(case, tmp_path, tracer)

    assert code == case.get("code", 0), err
    report = case.get("report")
    if report:
        cls, message = report if isinstance(report, tuple) else (b"EInOutError", report)
        assert re.fullmatch(rb"Exception %s in module %s at %s\.\r\n%s\r\n\r\n" % (
            cls, re.escape(os.path.basename(path).encode()), ADDRESS, re.escape(message)), err), err
    else:
        assert err == b""
    # Without draws the game asks any question and meets the end of input.
    steps = game(case["draws"], case.get("answers", [])) if "draws" in case else None
    expected = case.get("out", output(steps) if steps else
                        [output(game([k], [])) for k in QUESTIONS])
    expected = output(steps)[:expected] if isinstance(expected, int) else expected
    if case.get("stdout", "pipe") not in ("pipe", "file", "readonly"):
        pass  # a device, a directory or a lost handle: nothing to read back
    elif isinstance(expected, re.Pattern):
        found = expected.fullmatch(out)
        assert found, out
        if found.lastindex == 2:  # a fault's address, and the routine's that the probe named
            assert (int(found[2], 16) - int(found[1], 16)) % (1 << 32) < ROUTINE, out
    else:
        assert out in expected if isinstance(expected, list) else out == expected
    if inject:
        injected = re.findall(r"(\w+)\(.*INJECTED", log.read_text())
        assert {way.split(":")[0] for way in inject} <= set(injected)
    if "writes" in case:
        total = len(output(steps))
        expected = case["writes"] if isinstance(case["writes"], list) else [
            len(s) for s in steps if s] if case["writes"] == "statements" else [128] * (
            total // 128) + [total % 128] * (total % 128 > 0)
        written = re.findall(r"write\(\d+<%s>, .*\) += (\d+)" % re.escape(target),
                             log.read_text())
        assert list(map(int, written)) == expected


@pytest.mark.on("W")
def test_windows_image():
    # Console programs of the flavour's width and machine (the file format names the machine)
    # that need only the DLLs every Windows has.
    widths = {"wine32": ("i686-w64-mingw32", "i386", r"010b\s+\(PE32\)"),
              "wine64": ("x86_64-w64-mingw32", "x86-64", r"020b\s+\(PE32\+\)")}
    triplet, machine, magic = widths[FLAVOUR]
    for name in ("kviz", "kviz_scripted"):
        dump = subprocess.run([triplet + "-objdump", "-p", program(name)],
                              capture_output=True, text=True, check=True).stdout
        assert re.search(r"file format pei-%s$.*^Magic\s+%s.*^Subsystem\s+00000003" % (
            machine, magic), dump, re.M | re.S), dump
        assert {d.lower() for d in re.findall(r"DLL Name: (\S+)", dump)} <= {
            "kernel32.dll", "user32.dll", "msvcrt.dll"}


# In each way the game may be linked, the report's offset, counted from where the file's first
# byte is mapped, lies in the routine whose statement failed: on a full console the question's
# first line, whose check is in PrintQuestion or in a routine that the compiler built it into;
# for an endless answer under an address-space cap (not under qemu or the sanitizers, which
# need more), the line read in CheckAnswer or a routine that took it in.
FAILURES = {"full": ("/dev/null", "/dev/full", None, b"EInOutError", {"PrintQuestion(int)"}),
            "memory": ("/dev/zero", "/dev/null", 128 << 20, b"EOutOfMemory", {"CheckAnswer()"})}


@pytest.mark.on("LQ")
@pytest.mark.parametrize("failure", list(FAILURES)[:1 if EMULATED or SANITIZED else 2])
@pytest.mark.parametrize("game", os.environ.get("KVIZ_LINKED_GAMES", program("kviz")).split(":"),
                         ids=os.path.basename)
def test_report_offset_in_the_failing_routine(game, failure):
    stdin, stdout, cap, cls, routine = FAILURES[failure]
    with open(stdin, "rb") as source, open(stdout, "wb") as sink:
        err = subprocess.run([*PREFIX, game], stdin=source, stdout=sink, stderr=subprocess.PIPE,
                             timeout=60, preexec_fn=cap and (lambda: resource.setrlimit(
                                 resource.RLIMIT_AS, (cap, cap)))).stderr
    found = re.match(rb"Exception %s in module %s at ([0-9A-F]{8})\." % (cls, re.escape(
        os.path.basename(game).encode())), err)
    assert found, err
    with open(game, "rb") as f:
        head = f.read(4096)
    # ELF of 32 or 64 bits, either byte order: the program headers' table, its entries' size and
    # count, and in each entry its type, offset and address.
    wide, order = head[4] == 2, "<" if head[5] == 1 else ">"
    (table,) = struct.unpack_from(order + ("Q" if wide else "I"), head, 0x20 if wide else 0x1C)
    size, count = struct.unpack_from(order + "HH", head, 0x36 if wide else 0x2A)
    entry = order + ("I4xQQ" if wide else "III")
    segments = [struct.unpack_from(entry, head, table + i * size) for i in range(count)]
    mapped = next(address - offset for kind, offset, address in segments if kind == 1)  # PT_LOAD
    call = mapped + int(found[1], 16) - 1  # the last byte of the failing statement's call
    symbols = subprocess.run([os.environ.get("KVIZ_NM") or "nm", "-C", "-S", "--defined-only",
                              game], capture_output=True, text=True, check=True).stdout
    routines = [line.split(maxsplit=3) for line in symbols.splitlines()]
    assert {name for start, length, kind, name in (r for r in routines if len(r) == 4)
            if kind in "tT" and int(start, 16) <= call < int(start, 16) + int(length, 16)} & {
        "AskQuestion(int)", "Play()", *routine}


@pytest.mark.on("LQ")  # wine's console adds escape sequences
def test_terminal_player():
    # On a raw terminal (bytes pass unchanged, nothing echoes) every statement is on the
    # screen before the game waits for a line.
    draws, answers = [4, 3, 0, 12], [b"real", b"1", b"1"]
    lines = iter(re.findall(rb".*?\n", typed(answers, b"\n").replace(b"\n\n", b"\nignored\n", 1)))
    master, slave = pty.openpty()
    tty.setraw(slave)
    env = dict(os.environ, KVIZ_DRAWS=",".join(map(str, draws)))
    proc = subprocess.Popen([*PREFIX, program("kviz_scripted")], stdin=slave, stdout=slave,
                            stderr=subprocess.PIPE, env=env)
    os.close(slave)
    screen, shown = b"", b""
    try:
        for step in game(draws, answers):
            if step is not READ:
                shown += step
                continue
            while len(screen) < len(shown) and select.select([master], [], [], 10)[0]:
                screen += os.read(master, 4096)
            assert screen == shown
            os.write(master, next(lines))
        assert proc.wait(timeout=10) == 0
        assert proc.stderr.read() == b""
    finally:
        proc.kill()
        proc.stderr.close()
        os.close(master)
