"""End-to-end games: the real program through files, pipes and a pseudo-terminal, played the
way a person would, checking every byte the player sees and the exit code."""
import os
import pty
import select
import subprocess
import tempfile
import termios
import time
import tty
import unittest

from kvizrun import KVIZ, KVIZ_SCRIPTED, run

# Each question as it appears on the screen, and its accepted answer.
QUESTIONS = [
    (b"Kako se zove programski jezik u kome je ova igra napisana? \r\n", b"paskal"),
    (b"Koji tip varijabli ima samo cjelobrojne vrijednosti?\r\n", b"integer"),
    (b"DIV u integeru oznacava:\r\n1) Podjeli dva broja a ostatak zanemari.\r\n"
     b"2) Podjeli dva broja a ispisi ostatak.\r\n1/2?", b"1"),
    (b"Koji tip varijabli korisimo za rad sa realnim brojevima?\r\n", b"real"),
    (b"Koju naredbu korisimo za korjenovanje izraza?\r\n", b"sqrt"),
    (b"Koji tip varijabli ima samo 2 stanja (TRUE i FALSE)?\r\n", b"boolean"),
    (b"Varijablom tipa CHAR mozemo da zapamtimo svaki unos sa tastature\r\n"
     b"u duzini od jednog znaka.\r\n1) Da.\r\n2) Ne.\r\n", b"1"),
    (b"Da li u INTEGERU mozemo da koristimo znak za djeljenje (/)?\r\n1) Da.\r\n2) Ne.\r\n", b"2"),
    (b"Program napisan u Paskalu se:\r\n1) Kompajlira.\r\n2) Interpretira.\r\n", b"1"),
    (b"U izrazu s:=1000*1000, varijabla \"s\" mora biti iz skupa:\r\n1) Integer.\r\n2) Real.\r\n",
     b"2"),
    (b"Svaka procedure moze da zamjeni funkciju.\r\n1) Da.\r\n2) Ne.\r\n", b"1"),
    (b"Funkcija moze sadrzavati naredbu \"write\" i \"raed\"?\r\n1) Da.\r\n2) Ne.\r\n", b"2"),
]

CORRECT = b"Tacan odgovor.\r\n"


def wrong_report_head(expected):
    return b"Pogresan odgovor, tacan odgovor je " + expected + b".\r\nBroj netacnih odgovora: 1"


def wrong_report_tail(correct):
    return (b"Broj tacnih odgovora: " + str(correct).encode() +
            b"\r\nPritisni \"Enter\" za izlaz!\r\n")


class RedirectedGame(unittest.TestCase):
    def test_empty_input_file_gives_one_question_and_the_report(self):
        with tempfile.TemporaryFile() as empty, tempfile.TemporaryFile() as out:
            result = run(KVIZ, stdin=empty, stdout=out)
            out.seek(0)
            text = out.read()
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stderr, b"")
        matches = [(q, a) for q, a in QUESTIONS if text.startswith(q)]
        self.assertEqual(len(matches), 1, text)
        question, answer = matches[0]
        self.assertEqual(text, question + wrong_report_head(answer) + wrong_report_tail(0))

    def test_whole_game_through_pipes(self):
        answers = b"real\r\n\r\n1\n\nboolean\n\nx\n\n\n"
        result = run(stdin=answers, draws=[4, 3, 0, 6, 12])
        self.assertEqual(result.returncode, 0)
        expected = (QUESTIONS[3][0] + CORRECT + QUESTIONS[2][0] + CORRECT + QUESTIONS[5][0] +
                    CORRECT + QUESTIONS[11][0] + wrong_report_head(b"2") + wrong_report_tail(3))
        self.assertEqual(result.stdout, expected)

    def test_arguments_and_environment_change_nothing(self):
        result = subprocess.run([KVIZ, "--help", "-v"], input=b"", capture_output=True,
                                env={"LANG": "C", "KVIZ_DRAWS": "1"}, timeout=60)
        self.assertEqual(result.returncode, 0)
        self.assertTrue(result.stdout.endswith(wrong_report_tail(0)))

    def test_pipe_output_waits_for_a_full_buffer_or_the_end(self):
        env = dict(os.environ, KVIZ_DRAWS="4")
        game = subprocess.Popen([KVIZ_SCRIPTED], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                env=env)
        try:
            # The question is shorter than the buffer, so nothing reaches the pipe yet.
            ready, _, _ = select.select([game.stdout], [], [], 0.5)
            self.assertEqual(ready, [])
            out, _ = game.communicate(b"", timeout=30)
        finally:
            game.kill()
        self.assertEqual(out, QUESTIONS[3][0] + wrong_report_head(b"real") + wrong_report_tail(0))


class TerminalPlayer(unittest.TestCase):
    """Plays on a pseudo-terminal in raw mode, so that bytes pass unchanged and nothing is
    echoed: the screen holds exactly what the game wrote."""

    def setUp(self):
        self.master, slave = pty.openpty()
        tty.setraw(slave, termios.TCSANOW)
        self.game = subprocess.Popen([KVIZ], stdin=slave, stdout=slave, stderr=subprocess.PIPE,
                                     close_fds=True)
        os.close(slave)
        self.screen = b""

    def tearDown(self):
        if self.game.poll() is None:
            self.game.kill()
        self.game.wait()
        self.game.stderr.close()
        os.close(self.master)

    def see(self, expected, timeout=10.0):
        """Waits until the screen shows `expected` after what was already seen; the game must
        write every statement before it waits, or this times out."""
        start = len(self.screen)
        deadline = time.monotonic() + timeout
        while len(self.screen) - start < len(expected):
            ready, _, _ = select.select([self.master], [], [], max(0, deadline - time.monotonic()))
            if not ready:
                break
            self.screen += os.read(self.master, 4096)
        self.assertEqual(self.screen[start:], expected)

    def next_question(self):
        """Reads until a whole question is on the screen and returns its entry."""
        start = len(self.screen)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            shown = self.screen[start:]
            for question, answer in QUESTIONS:
                if shown == question:
                    return question, answer
                if len(shown) > len(question) and shown.startswith(question):
                    self.fail(b"more than one question: " + shown)
            ready, _, _ = select.select([self.master], [], [], 0.2)
            if ready:
                self.screen += os.read(self.master, 4096)
        self.fail(b"no whole question on the screen: " + self.screen[start:])

    def type(self, text):
        os.write(self.master, text)

    def test_right_answers_then_a_wrong_one(self):
        rounds = 6
        for turn in range(rounds):
            _, answer = self.next_question()
            self.type(answer + (b"\r\n" if turn % 2 else b"\n"))
            self.see(CORRECT)
            self.type(b"\r\n" if turn % 2 else b"ignored text\n")
        _, answer = self.next_question()
        self.type(b"not " + answer + b"\n")
        self.see(wrong_report_head(answer))
        self.type(b"\n")
        self.see(wrong_report_tail(rounds))
        self.type(b"\r\n")
        self.assertEqual(self.game.wait(timeout=10), 0)
        self.assertEqual(self.game.stderr.read(), b"")


if __name__ == "__main__":
    unittest.main()
