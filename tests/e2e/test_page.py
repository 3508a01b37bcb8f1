# The page in headless Chromium, opened from file:// as its zip unpacks: whole games read off the
# terminal and answered from the table's questions, every read's screen against the game's model;
# then the page at a phone's width. Screenshots of both are left in the build folder. The keys go
# to whatever has the focus as the page opens, which must be the terminal.
import re
import shutil
import subprocess
import time

import pytest

from kviz import BIN, PAGE, QUESTIONS, READ, game, on

END = 'Kraj igre. Pritisni "Enter" za novu igru.'
# WebDriver's keys; the Ctrl key stays down until the last code lets every key up.
ENTER, BACKSPACE, CTRL_Z = "\ue007", "\ue003", "\ue009z\ue000"


@pytest.fixture
def page(tmp_path):
    webdriver = pytest.importorskip("selenium.webdriver", reason="python3-selenium is missing")
    if not shutil.which("chromedriver"):
        pytest.skip("no chromedriver (Debian packages chromium and chromium-driver)")
    subprocess.run(["cpack", "-G", "ZIP", "-B", tmp_path], cwd=BIN, check=True)
    shutil.unpack_archive(next(tmp_path.glob("*.zip")), tmp_path)
    options = webdriver.ChromeOptions()
    # Without its network services, which would wait on a network that is not there.
    # chromedriver gives it a fresh profile.
    for argument in ("headless", "no-sandbox", "disable-gpu", "no-first-run", "disable-sync",
                     "disable-background-networking", "disable-component-update"):
        options.add_argument("--" + argument)
    driver = webdriver.Chrome(options=options)
    driver.set_window_size(1280, 1024)
    driver.get(next(tmp_path.glob("*/index.html")).as_uri())
    yield driver
    driver.quit()


# A text as the terminal shows it: wrapped at its width, without the blanks at the ends of rows
# and below them.
def rows(text, width):
    cut = [row.rstrip() for line in text.split("\n") for row in re.findall(".{1,%d}" % width, line)
           or [""]]
    return "\n".join(cut).rstrip().split("\n")


# Waits until the screen shows one of the texts (its last rows, as many as the screen has), and
# gives that text.
def until(driver, *texts):
    for _ in range(400):
        width, shown = driver.execute_script("""return [Term.cols,
            [...document.querySelectorAll('.xterm-rows > div')].map(Row => Row.textContent)]""")
        shown = rows("\n".join(shown), width)
        if found := [text for text in texts if rows(text, width)[-len(shown):] == shown]:
            return found[0]
        time.sleep(0.025)
    pytest.fail("\n".join(shown))


# The screen of a game up to its first read that has no echo yet.
def transcript(steps, echoes):
    said = "".join("\0" if s is READ else s.decode() for s in steps).replace("\r", "").split("\0")
    return "".join(text + echo for text, echo in zip(said, [*echoes, ""]))


# The question that the screen shows after a game's reads so far.
def question(driver, draws=(), read=(), echoes=()):
    asked = {transcript(game([*draws, k], list(read)), echoes): k for k in QUESTIONS}
    return asked[until(driver, *asked)]


@on(PAGE)
def test_page(page):
    # One game of typed lines: each answer is the keys typed, {} standing for the right answer,
    # and the game reads them as edited (each Backspace takes the character before it back);
    # then Enter at each of the game's waits.
    box, draws, read, echoes = page.switch_to.active_element, [], [], []
    for answer in ("x" + BACKSPACE + "š" + BACKSPACE + "{}", "{}", "{}."):
        k = question(page, draws, read, echoes)
        keys = answer.format(QUESTIONS[k][1].decode())
        line = re.sub("." + BACKSPACE, "", keys).encode()
        draws, read = draws + [k], read + [line]
        for keys, echo in [(keys, line.decode())] + [("", "")] * (1 + (line != QUESTIONS[k][1])):
            until(page, transcript(game(draws, read), echoes))
            box.send_keys(keys + ENTER)
            echoes.append(echo + "\n")
    until(page, transcript(game(draws, read), echoes) + END)
    page.save_screenshot(BIN + "/page-desktop.png")
    # A new game: a line pasted (by xterm.js's own paste), judged wrong; then byte 26 (Ctrl+Z)
    # ahead of a line ends the input: it stays unread, and the game's last wait ends at once.
    box.send_keys(ENTER)
    k = question(page)
    page.execute_script("Term.paste(arguments[0])", "a" * 10000 + "\r")
    until(page, transcript(game([k], [b"a"]), ["a" * 10000 + "\n"]))
    box.send_keys(CTRL_Z + ENTER)
    until(page, transcript(game([k], [b"a"]), ["a" * 10000 + "\n", "^Z\n", ""]) + END)
    # At a phone's width, with the rows of that line on the screen.
    page.set_window_size(360, 740)
    assert page.execute_script("""return document.documentElement.scrollWidth == innerWidth &&
        parseFloat(getComputedStyle(document.querySelector('.xterm-rows')).fontSize) >= 12""")
    page.save_screenshot(BIN + "/page-360.png")
