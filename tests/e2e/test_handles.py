# Handles and limits: input that comes slowly or is interrupted, and broken handles and limits,
# each ending in one report and exit code 1 with no byte lost that was written before it.
import pytest

from kviz import (FLAVOUR, LINUX, NODE, PLAIN, QEMU, QUESTIONS, VALGRIND, WINE, Run, asked,
                  check, game, output, rows, typed)

LONG = dict(draws=(4, 4, 4, 4, 2), answers=(b"real",) * 4 + (b"x",), stdout="file")
END = output(game(LONG["draws"], LONG["answers"]))
BROKEN = LINUX | QEMU | WINE | NODE
# node reopens a closed standard handle on /dev/null, and waits in its event loop rather than in
# a call of the program's own.
UNIX = LINUX | QEMU

ROWS = rows(
    Run("slow writer, non-blocking pipe, interrupted wait", draws=(4, 4), stdin="slow",
        input=b"real\n\nx\n\n\n", answers=(b"real", b"x"), inject=("poll:error=EINTR:when=1",)),
    Run("a wait for Enter that fails is the read's failure", UNIX, stdin="slow", input=b"x\n",
        draws=(4,), stdout="file", outs=(output(game([4], [b"x"])).split(b"Broj tacnih")[0],),
        code=1, report=b"I/O error 8.", inject=("poll:error=ENOMEM",)),
    Run("every other read and write interrupted", stdout="file", draws=(4,), stdin="file",
        input=typed([b"real"] * 30 + [b"x"], b"\n"), answers=(b"real",) * 30 + (b"x",),
        inject=("read:error=EINTR:when=1+2", "write:error=EINTR:when=1+2"), only=("in", "out")),
    Run("stdout closed", UNIX, stdout="closed", code=1, report=b"I/O error 105."),
    Run("stdin closed", UNIX, stdin="closed", draws=(4,), stdout="file", outs=(asked(4),), code=1,
        report=b"I/O error 104."),
    Run("stdin a directory", LINUX | QEMU | VALGRIND | NODE, stdin="dir", draws=(4,),
        stdout="file", outs=(asked(4),), code=1, report=b"File access denied."),
    Run("stdout /dev/full", BROKEN, stdout="full", code=1, report=b"I/O error 112."),
    Run("stdout open for reading only", stdout="readonly", outs=(b"",), code=1,
        report=b"I/O error 6."),
    Run("stdout a directory", stdout="dir", code=1, report=b"I/O error 105."),
    # Each statement of a lost game failing in turn: nothing after it is written.
    *[Run("a failed statement ends the game at once: write %d" % n, stdout="null", draws=(4,),
          answers=(b"x",), inject=("write:error=ENOSPC:when=%d" % n,), only=("/dev/null",),
          writes=[len(s) for s in game([4], [b"x"]) if s][:n - 1], code=1,
          report=b"I/O error 112.") for n in range(1, 9)],
    Run("stderr closed: the report is lost, the code is not", BROKEN, stdout="full",
        stderr="closed", code=1),
    # wine's write into a unix pipe without reader fails with ERROR_NO_DATA.
    Run("stdout a pipe whose reader has gone", BROKEN, stdout="noreader", draws=(4,), code=1,
        report=b"I/O error %d." % (233 if FLAVOUR in WINE else 232)),
    # At a piece's end, inside a piece (a short write, then the failure), in the final
    # write-out, and just large enough.
    *[Run("file size limit %d of %d" % (limit, len(END)), **LONG, fsize=limit,
          outs=(END[:limit],), code=int(limit < len(END)),
          report=b"I/O error 223." if limit < len(END) else b"")
      for limit in (128, 200, len(END) - 10, len(END))],
    Run("the report's own write-out fails", stdin="dir", draws=(4,), stdout="file", fsize=10,
        outs=(asked(4)[:10],), code=1, report=b"I/O error 223."),
    # Natively only: qemu alone takes more than the cap, and so do the sanitizers' shadows.
    Run("an endless line under an address-space cap", PLAIN, stdin="zero", memory=128 << 20,
        code=1, exception=b"EOutOfMemory", report=b"Out of memory.",
        outs=tuple(asked(k) for k in QUESTIONS)),
)


@pytest.mark.parametrize("run", ROWS)
def test_run(run, tmp_path):
    check(run, tmp_path)
