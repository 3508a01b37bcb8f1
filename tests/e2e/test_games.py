# Whole games, byte for byte: every question, the line ends, the waits for Enter, and when the
# bytes reach the handle: on a character device, as a terminal is, each statement is written as
# it ends, and so before the game waits for a line; and a game on a terminal.
import pytest

from kviz import EVERY, LINUX, NODE, QEMU, QUESTIONS, WINE, Run, check, game, output, pieces, rows

MIXED = dict(draws=(4, 2, 0, 3, 7, 9), answers=(b"real", b"integer", b"1", b"1", b"2"))
GAMES = LINUX | QEMU | WINE | NODE

ROWS = rows(
    Run("every question, then a wrong answer of 706 bytes", EVERY, draws=(*range(1, 13), 1),
        answers=(*(answer for _, answer in QUESTIONS.values()), b"paskal" + b"a" * 700)),
    Run("LF ends, text typed in the waits is not judged", GAMES, draws=(4, 3, 0, 6, 12),
        input=b"real\nignored\n1\n\nboolean\n\n2.\nreal\n1\n",
        answers=(b"real", b"1", b"boolean", b"2.")),
    Run("lone CR dropped, trailing blank wrong", GAMES, draws=(4, 2, 0, 3, 7, 9),
        input=b"re\ral\r\n\r\ninteger\r\n\r\n1\r\n\r\n1\r\n\r\n1 \r\n\r\n\r\n",
        answers=(b"real", b"integer", b"1", b"1", b"1 ")),
    Run("byte 26 ends the answer and every wait after it", GAMES, draws=(4, 2),
        input=b"real\r\n\x1arest\r\n\r\n", answers=(b"real",)),
    Run("input ends inside the answer", GAMES, draws=(4,), input=b"real", answers=(b"real",)),
    Run("empty input file: a drawn question", EVERY, stdin="file", input=b"",
        args=("--help", "-v")),
    Run("empty input pipe: a drawn question", GAMES, input=b""),
    Run("NUL and high bytes are ordinary", GAMES, draws=(4, 4),
        input=b"real\n\x00\xff\x8a\x8d\r\nreal\x00\n\n\n", answers=(b"real", b"real\x00")),
    Run("a 100 MiB answer line", draws=(4, 4), answers=(b"real", b"real" * (25 << 20))),
    # When the bytes reach the handle: on a file or pipe in 128-byte pieces and the rest at the
    # end, on a device at the end of each statement.
    Run("to a file: 128-byte pieces, the rest at the end", GAMES, stdout="file", **MIXED,
        writes=pieces(output(game(**MIXED)))),
    Run("to a pipe: 128-byte pieces, the rest at the end", **MIXED,
        writes=pieces(output(game(**MIXED)))),
    Run("to /dev/null: each statement as it ends", GAMES, stdout="null", **MIXED,
        writes=[len(s) for s in game(**MIXED) if s]),
    # wine's console adds escape sequences of its own.
    Run("on a terminal", LINUX | QEMU | NODE, stdin="terminal", stdout="terminal", **MIXED),
)


@pytest.mark.parametrize("run", ROWS)
def test_run(run, tmp_path):
    check(run, tmp_path)
