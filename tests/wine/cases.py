"""The end-to-end cases that the Linux program and the Windows program (under wine) must pass
alike, over files, pipes and devices; prints a PASS/FAIL table. Run by tests/wine/run.sh:
    cases.py --linux DIR --windows DIR [--wine WINE]

Where wine is not Windows: a unix pipe handed to a wine program reads 0 bytes at its end
(Windows: ERROR_BROKEN_PIPE) and a write into one without reader fails with 233 (Windows:
ERROR_NO_DATA, 232). So the Windows build also runs its pipe cases over Windows anonymous pipes
made by pipe_run.exe, which wine serves with the Windows codes. Terminal cases are not run
here: wine's console wraps the output in escape sequences of its own."""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

# The questions the scripted games below draw, line by line; True marks a prompt that ends
# without a line break.
QUESTIONS = {
    2: ([b"Koji tip varijabli ima samo cjelobrojne vrijednosti?"], False, b"integer"),
    3: ([b"DIV u integeru oznacava:", b"1) Podjeli dva broja a ostatak zanemari.",
         b"2) Podjeli dva broja a ispisi ostatak.", b"1/2?"], True, b"1"),
    4: ([b"Koji tip varijabli korisimo za rad sa realnim brojevima?"], False, b"real"),
    7: ([b"Varijablom tipa CHAR mozemo da zapamtimo svaki unos sa tastature",
         b"u duzini od jednog znaka.", b"1) Da.", b"2) Ne."], False, b"1"),
    9: ([b"Program napisan u Paskalu se:", b"1) Kompajlira.", b"2) Interpretira."], False, b"1"),
}

# Draw 0 asks nothing and draws again, so it is in the list too.
GAME_DRAWS = [4, 2, 0, 3, 7, 9]
GAME_ANSWERS = [b"real", b"integer", b"1", b"1", b"2"]  # the last one is wrong

WRONG_TAIL_RE = (rb"Pogresan odgovor, tacan odgovor je [^\r\n]+\.\r\n"
                 rb"Broj netacnih odgovora: 1Broj tacnih odgovora: 0\r\n"
                 rb"Pritisni \"Enter\" za izlaz!\r\n")
REPORT_RE = re.compile(rb"^Exception EInOutError in module (\S+) at [0-9A-F]{8}\.\r\n"
                       rb"I/O error (\d+)\.\r\n\r\n$")


def question_pieces(k):
    """The console statements that ask question k, one piece each."""
    lines, ends_in_prompt, _ = QUESTIONS[k]
    pieces = [line + b"\r\n" for line in lines]
    if ends_in_prompt:
        pieces[-1] = lines[-1]
    return pieces


def game_pieces(draws, answers):
    """What a game shows, one piece per console statement: correct answers until the first
    answer that differs, which ends the game."""
    pieces, correct = [], 0
    asked = [k for k in draws if k != 0]
    for k, answer in zip(asked, answers):
        pieces += question_pieces(k)
        expected = QUESTIONS[k][2]
        if answer == expected:
            pieces.append(b"Tacan odgovor.\r\n")
            correct += 1
            continue
        pieces += [b"Pogresan odgovor, tacan odgovor je " + expected + b".\r\n",
                   b"Broj netacnih odgovora: ", b"1", b"Broj tacnih odgovora: ",
                   str(correct).encode(), b"\r\n", b"Pritisni \"Enter\" za izlaz!\r\n"]
        return pieces
    raise ValueError("the game never ends")


def game_input(answers, line_end):
    """Each correct answer is followed by an Enter; the wrong one by the two that end."""
    return b"".join(a + line_end + line_end for a in answers) + line_end


class Build:
    def __init__(self, name, prefix, directory, suffix, pipe_run=None):
        self.name = name
        self.prefix = prefix
        self.kviz = os.path.join(directory, "kviz" + suffix)
        self.scripted = os.path.join(directory, "kviz_scripted" + suffix)
        self.module = "kviz" + suffix
        self.fault_probe = os.path.join(directory, "tests", "fault_probe" + suffix)
        self.pipe_run = pipe_run  # Windows only: runs a program over Windows pipes

    def run(self, program, stdin=b"", draws=None, stdout=subprocess.PIPE, trace=None, extra=()):
        """Runs a program; stdin is bytes (a pipe) or an open file. With trace, the writes
        are recorded by strace in that file."""
        env = dict(os.environ)
        env.pop("KVIZ_DRAWS", None)
        if draws is not None:
            env["KVIZ_DRAWS"] = ",".join(str(d) for d in draws)
        command = self.prefix + [program] + list(extra)
        if trace is not None:
            command = ["strace", "-f", "-y", "-qq", "-e", "trace=write", "-o", trace] + command
        kwargs = {"input": stdin} if isinstance(stdin, bytes) else {"stdin": stdin}
        return subprocess.run(command, env=env, stdout=stdout, stderr=subprocess.PIPE,
                              timeout=60, **kwargs)

    def run_over_windows_pipes(self, program, stdin, draws=None, closed_output=False):
        """Windows only: the program's standard input and output are Windows pipes."""
        # wine maps drive Z: to the root of the unix file system.
        path = "Z:" + os.path.abspath(program).replace("/", "\\")
        options = ["--closed-output"] if closed_output else []
        return self.run(self.pipe_run, stdin, draws, extra=options + [path])


WRITE_RE = re.compile(r"^\d+\s+write\(\d+<([^>]*)>, .*\)\s+=\s+(\d+)$")


def write_sizes(trace, path):
    """The sizes of the writes that reached path, in order."""
    sizes = []
    with open(trace) as lines:
        for line in lines:
            m = WRITE_RE.match(line.strip())
            if m and m.group(1) == path:
                sizes.append(int(m.group(2)))
    return sizes


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def check_exit(result, code):
    check(result.returncode == code,
          f"exit code {result.returncode}, not {code}; stderr {result.stderr[:200]!r}")


def check_game(result, pieces):
    check_exit(result, 0)
    check(result.stderr == b"", f"stderr {result.stderr[:200]!r}")
    expected = b"".join(pieces)
    check(result.stdout == expected,
          f"output differs from byte {first_difference(result.stdout, expected)}: "
          f"{result.stdout[-120:]!r}")


def first_difference(a, b):
    return next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))


def check_report(result, build, codes):
    """A console failure: the report on stderr naming the program, exit code 1. Returns the
    I/O error code that the report gives."""
    check_exit(result, 1)
    m = REPORT_RE.match(result.stderr)
    check(m is not None, f"stderr is no I/O error report: {result.stderr[:200]!r}")
    check(m.group(1).decode() == build.module,
          f"report names {m.group(1).decode()}, not {build.module}")
    code = int(m.group(2))
    check(code in codes, f"I/O error {code}, expected {' or '.join(map(str, codes))}")
    return code


# ---- The cases: each takes a build and a scratch directory, raises on failure and may return
# ---- a note for the table.

def case_empty_input(build, scratch):
    # A pipe at its end: on Windows ReadFile fails with ERROR_BROKEN_PIPE, the end of input.
    # An empty file: ReadFile succeeds with 0 bytes.
    empty = os.path.join(scratch, "empty")
    open(empty, "wb").close()
    with open(empty, "rb") as empty_file:
        for how, stdin in (("pipe", b""), ("empty file", empty_file)):
            result = build.run(build.kviz, stdin)
            check_exit(result, 0)
            check(result.stderr == b"", f"{how}: stderr {result.stderr[:200]!r}")
            check(re.fullmatch(rb"[A-Z][^\r\n]*(\r\n[^\r\n]+)*(\r\n)?" + WRONG_TAIL_RE,
                               result.stdout, re.S) is not None,
                  f"{how}: not a question and the wrong-answer report: {result.stdout!r}")
    if build.pipe_run:
        result = build.run_over_windows_pipes(build.kviz, b"")
        check_exit(result, 0)
        check(result.stderr == b"", f"Windows pipe: stderr {result.stderr[:200]!r}")
        check(re.search(WRONG_TAIL_RE + b"$", result.stdout) is not None,
              f"Windows pipe: {result.stdout!r}")
        return "also over a Windows pipe"


def case_game(build, scratch):
    pieces = game_pieces(GAME_DRAWS, GAME_ANSWERS)
    stdin = game_input(GAME_ANSWERS, b"\r\n")
    check_game(build.run(build.scripted, stdin, GAME_DRAWS), pieces)
    if build.pipe_run:
        check_game(build.run_over_windows_pipes(build.scripted, stdin, GAME_DRAWS), pieces)
        # The game's end of input comes as ERROR_BROKEN_PIPE here.
        check_game(build.run_over_windows_pipes(build.scripted, b"real\x1a", [4, 2]),
                   game_pieces([4, 2], [b"real", b""]))
        return "also over Windows pipes"


def case_line_ends(build, scratch):
    pieces = game_pieces(GAME_DRAWS, GAME_ANSWERS)
    check_game(build.run(build.scripted, game_input(GAME_ANSWERS, b"\n"), GAME_DRAWS), pieces)
    # Mixed: a lone CR inside a line is dropped, CR LF and LF both end lines.
    mixed = b"re\ral\r\n\ninteger\n\r\n1\r\n\n1\n\n2\r\n\n\r\n"
    check_game(build.run(build.scripted, mixed, GAME_DRAWS), pieces)
    # Byte 26 ends the answer and, left unread, every wait after it: the next question gets an
    # empty answer, which is wrong, and the game ends without reading further.
    check_game(build.run(build.scripted, b"real\x1a", [4, 2]),
               game_pieces([4, 2], [b"real", b""]))
    check_game(build.run(build.scripted, b"real\r\n\x1arest\r\n\r\n", [4, 2]),
               game_pieces([4, 2], [b"real", b""]))


def case_file_output(build, scratch, use_strace):
    pieces = game_pieces(GAME_DRAWS, GAME_ANSWERS)
    expected = b"".join(pieces)
    out = os.path.join(scratch, f"out-{build.name}.txt")
    trace = os.path.join(scratch, f"file-{build.name}.trace") if use_strace else None
    with open(out, "wb") as out_file:
        result = build.run(build.scripted, game_input(GAME_ANSWERS, b"\r\n"), GAME_DRAWS,
                           stdout=out_file, trace=trace)
    check_exit(result, 0)
    with open(out, "rb") as out_file:
        content = out_file.read()
    check(content == expected,
          f"file differs from byte {first_difference(content, expected)}: {content[-120:]!r}")
    if trace is None:
        return "content only (no strace)"
    sizes = write_sizes(trace, os.path.realpath(out))
    whole, rest = divmod(len(expected), 128)
    check(sizes == [128] * whole + ([rest] if rest else []), f"write sizes {sizes}")
    return f"writes {sizes}"


def case_char_device(build, scratch, use_strace):
    # /dev/null is a character device, so each statement is written out as it ends.
    if not use_strace:
        return "SKIP: needs strace"
    pieces = game_pieces(GAME_DRAWS, GAME_ANSWERS)
    trace = os.path.join(scratch, f"null-{build.name}.trace")
    with open(os.devnull, "wb") as null:
        result = build.run(build.scripted, game_input(GAME_ANSWERS, b"\r\n"), GAME_DRAWS,
                           stdout=null, trace=trace)
    check_exit(result, 0)
    sizes = write_sizes(trace, os.devnull)
    check(sizes == [len(p) for p in pieces], f"write sizes {sizes}")
    return f"{len(sizes)} writes, one per statement"


def case_full_device(build, scratch):
    # Linux: ENOSPC, which the host numbers 112; wine: its own ERROR_DISK_FULL, 112 too.
    with open("/dev/full", "wb") as full:
        result = build.run(build.kviz, b"", stdout=full)
    return f"I/O error {check_report(result, build, [112])}"


def case_closed_pipe(build, scratch):
    # Windows reports a write into a pipe without reader as ERROR_NO_DATA (232); Linux's EPIPE
    # is numbered 232 too. Over a unix pipe, wine 8 gives ERROR_PIPE_NOT_CONNECTED (233).
    codes = [232, 233] if build.pipe_run else [232]
    read_end, write_end = os.pipe()
    os.close(read_end)
    try:
        result = build.run(build.kviz, b"", stdout=write_end)
    finally:
        os.close(write_end)
    note = f"I/O error {check_report(result, build, codes)}"
    if build.pipe_run:
        result = build.run_over_windows_pipes(build.kviz, b"", closed_output=True)
        note += f"; over a Windows pipe {check_report(result, build, [232])}"
    return note


def case_report_names_program(build, scratch):
    # The report of a program under another name shows that name, not a fixed text.
    renamed = os.path.join(scratch, "renamed-" + build.module)
    shutil.copy(build.kviz, renamed)
    with open("/dev/full", "wb") as full:
        result = build.run(renamed, b"", stdout=full)
    check_exit(result, 1)
    m = REPORT_RE.match(result.stderr)
    check(m is not None and m.group(1).decode() == os.path.basename(renamed),
          f"report {result.stderr[:120]!r}")
    with open("/dev/full", "wb") as full:
        result = build.run(build.kviz, b"", stdout=full)
    check_report(result, build, [112])
    first_line = result.stderr.split(b"\r\n")[0].decode()
    return f"first line: {first_line}"


def case_processor_faults(build, scratch):
    # The held line goes out first, then the run-time error text with the fault's number from
    # the table, which is also the exit code. On Windows the fault comes through the
    # unhandled-exception filter; an illegal instruction is in no table row, hence 255.
    out = os.path.join(scratch, f"fault-{build.name}.txt")
    for fault, number in (("access", 216), ("divide", 200), ("trap", 255)):
        with open(out, "wb") as out_file:
            result = build.run(build.fault_probe, b"", extra=[fault], stdout=out_file)
        with open(out, "rb") as out_file:
            content = out_file.read()
        check(result.returncode == number, f"{fault}: exit code {result.returncode}")
        check(result.stderr == b"", f"{fault}: stderr {result.stderr[:200]!r}")
        check(re.fullmatch(rb"held\r\nRuntime error " + str(number).encode() +
                           rb" at [0-9A-F]{8}\x00\r\n", content) is not None,
              f"{fault}: output {content!r}")
    return "access 216, divide 200, trap 255"


# What Windows itself provides; anything else would have to travel with the program.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "msvcrt.dll"}


def case_windows_image(build, scratch, objdump):
    """The .exe is a 32-bit console program that imports only system DLLs."""
    if not build.pipe_run:
        return "n/a"
    for program in (build.kviz, build.scripted):
        dump = subprocess.run([objdump, "-p", program], capture_output=True, text=True,
                              check=True).stdout
        check(re.search(r"^Magic\s+010b\s+\(PE32\)", dump, re.M) is not None, "not PE32")
        check(re.search(r"^Subsystem\s+00000003", dump, re.M) is not None, "not a console program")
        dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", dump)}
        check(dlls <= SYSTEM_DLLS, f"imports {sorted(dlls - SYSTEM_DLLS)}")
    return "PE32, console, imports " + ", ".join(sorted(dlls))


def strace_works():
    if shutil.which("strace") is None:
        return False
    probe = subprocess.run(["strace", "-qq", "-e", "trace=none", "true"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return probe.returncode == 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux", required=True, help="build directory of the Linux programs")
    parser.add_argument("--windows", required=True, help="build directory of the .exe programs")
    parser.add_argument("--wine", default="wine")
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    args = parser.parse_args()

    started = time.monotonic()
    use_strace = strace_works()
    builds = [Build("linux", [], args.linux, ""),
              Build("windows", [args.wine], args.windows, ".exe",
                    pipe_run=os.path.join(args.windows, "pipe_run.exe"))]
    cases = [
        ("Windows image", lambda b, s: case_windows_image(b, s, args.objdump)),
        ("empty input (pipe, empty file)", case_empty_input),
        ("game, CR LF, byte for byte", case_game),
        ("line ends: LF, mixed, byte 26", case_line_ends),
        ("output to a file, 128-byte pieces", lambda b, s: case_file_output(b, s, use_strace)),
        ("output to /dev/null, per statement", lambda b, s: case_char_device(b, s, use_strace)),
        ("output to /dev/full", case_full_device),
        ("output to a closed pipe", case_closed_pipe),
        ("report names the program", case_report_names_program),
        ("processor faults", case_processor_faults),
    ]

    passed = failed = 0
    rows = []
    with tempfile.TemporaryDirectory(prefix="kviz-wine-") as scratch:
        for title, case in cases:
            for build in builds:
                try:
                    note = case(build, scratch) or ""
                    status = "PASS"
                    if note.startswith("SKIP") or note == "n/a":
                        status = note[:4]
                except (AssertionError, subprocess.TimeoutExpired, OSError) as e:
                    status, note = "FAIL", str(e)
                passed += status == "PASS"
                failed += status == "FAIL"
                rows.append((title, build.name, status, note))
                print(f"{status:4}  {build.name:7}  {title:38}  {note}", flush=True)

    print()
    print(f"{'case':38}  {'linux':5}  {'windows':7}")
    print(f"{'-' * 38}  {'-' * 5}  {'-' * 7}")
    for title, _ in cases:
        statuses = {r[1]: r[2] for r in rows if r[0] == title}
        print(f"{title:38}  {statuses['linux']:5}  {statuses['windows']:7}")
    print()
    print("Not run under wine: terminal cases (wine's console adds escape sequences).")
    print(f"The cases took {time.monotonic() - started:.1f} s.")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
