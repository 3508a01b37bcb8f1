# The page in a browser engine (the flavour: Chromium, Firefox or WebKit), opened from file:// as
# its zip unpacks: whole games read off the console and answered from the table's questions,
# every read's screen against the game's model, with the line edited, the focus taken away and
# the game broken off; in Chromium also text from an input method, a touch keyboard and a paste,
# what a screen reader is given, and the page at a phone's width. Screenshots are left in the
# build folder. The keys go to whatever has the focus, which must be the line.
import base64
import json
import os
import re
import shutil
import subprocess
import time

import pytest

from kviz import BIN, FLAVOUR, PAGE, QUESTIONS, READ, game, on

END = 'Kraj igre. Pritisni "Enter" za novu igru.\n'
# WebDriver's keys; Ctrl stays down until RELEASE.
ENTER, ESC, BACKSPACE, DELETE, CTRL = "\ue007", "\ue00c", "\ue003", "\ue017", "\ue009"
HOME, END_KEY, LEFT, RIGHT, RELEASE = "\ue011", "\ue010", "\ue012", "\ue014", "\ue000"
CHROMIUM = ("headless", "no-sandbox", "disable-gpu", "no-first-run", "disable-sync",
            "disable-background-networking", "disable-component-update")


class Selenium:  # Chromium and WebKit, through their WebDriver servers
    def __init__(self, driver):
        self.driver, self.get, self.stop = driver, driver.get, driver.quit
        self.keys = lambda keys: driver.switch_to.active_element.send_keys(keys)
        self.click = lambda selector: driver.find_element("css selector", selector).click()
        self.shot = lambda name: driver.save_screenshot(os.path.join(BIN, name))
        driver.set_window_size(1280, 800)

    def run(self, script):
        return json.loads(self.driver.execute_script("return JSON.stringify(%s)" % script))


class Bidi:  # Firefox, which speaks WebDriver BiDi itself
    def __init__(self, url, stop):
        import websocket
        self.socket, self.sent, self.stop = websocket.create_connection(
            url, suppress_origin=True), 0, stop
        self.call("session.new", capabilities={})
        self.at = {"context": self.call("browsingContext.getTree")["contexts"][0]["context"]}
        self.call("browsingContext.setViewport", viewport={"width": 1280, "height": 800}, **self.at)

    def call(self, method, **params):
        self.sent += 1
        self.socket.send(json.dumps({"id": self.sent, "method": method, "params": params}))
        while (reply := json.loads(self.socket.recv())).get("id") != self.sent:
            pass
        assert "error" not in reply, reply
        return reply["result"]

    def get(self, url):
        self.call("browsingContext.navigate", url=url, wait="complete", **self.at)

    def run(self, script):
        return json.loads(self.call("script.evaluate", expression="JSON.stringify(%s)" % script,
                                    target=self.at, awaitPromise=False)["result"]["value"])

    def act(self, kind, *actions):
        self.call("input.performActions", actions=[
            {"type": kind, "id": kind, "actions": actions}], **self.at)

    def keys(self, keys):
        self.act("key", *[{"type": way, "value": CTRL if key == RELEASE else key} for key in keys
                          for way in ["keyDown", "keyUp"][key == RELEASE:1 + (key != CTRL)]])

    def click(self, selector):  # near the top left corner
        box = self.run("document.querySelector('%s').getBoundingClientRect()" % selector)
        self.act("pointer", {"type": "pointerMove", "x": int(box["x"]) + 5, "y": int(box["y"]) + 5},
                 {"type": "pointerDown", "button": 0}, {"type": "pointerUp", "button": 0})

    def shot(self, name):
        with open(os.path.join(BIN, name), "wb") as file:
            file.write(base64.b64decode(self.call("browsingContext.captureScreenshot",
                                                  **self.at)["data"]))


# Firefox, started headless with a profile of its own in Folder, and a session with it.
def firefox(folder, program="firefox-esr"):
    (folder / "profile").mkdir()
    log = open(folder / "firefox.log", "w")
    process = subprocess.Popen([program, "--headless", "--no-remote", "--profile",
                                folder / "profile", "--remote-debugging-port=0"],
                               stdout=log, stderr=log)
    while not (listening := re.search(r"ws://\S+", (folder / "firefox.log").read_text())):
        time.sleep(0.05)
    return Bidi(listening[0] + "/session", process.kill)


# The engine, started fresh at desktop size, with the zip's page open. WebKit's browser takes
# the screen that ctest gives it (xvfb-run).
@pytest.fixture
def page(tmp_path):
    driver = shutil.which({"chromium": "chromedriver", "webkit": "WebKitWebDriver"}.get(
        FLAVOUR, "firefox-esr"))
    webdriver = pytest.importorskip("websocket" if FLAVOUR == "firefox" else "selenium.webdriver",
                                    reason="its driver's python3 package is missing")
    if not driver:
        pytest.skip("no driver of %s: .ci/install-deps web installs it" % FLAVOUR)
    subprocess.run(["cpack", "-G", "ZIP", "-B", tmp_path], cwd=BIN, check=True)
    shutil.unpack_archive(next(tmp_path.glob("*.zip")), tmp_path)
    if FLAVOUR == "chromium":
        from selenium.webdriver.chrome.service import Service
        options = webdriver.ChromeOptions()
        options.arguments.extend("--" + argument for argument in CHROMIUM)
        engine = Selenium(webdriver.Chrome(options=options, service=Service(driver)))
    elif FLAVOUR == "webkit":
        from selenium.webdriver.webkitgtk.service import Service
        try:  # Debian 13's selenium takes a service, Debian 12's the driver's path
            engine = Selenium(webdriver.WebKitGTK(service=Service(driver)))
        except TypeError:
            engine = Selenium(webdriver.WebKitGTK(executable_path=driver))
    else:
        engine = firefox(tmp_path, driver)
    engine.get(next(tmp_path.glob("*/index.html")).as_uri())
    yield engine
    engine.stop()


# The console's text once it shows one of the texts in full; that text.
def until(page, *texts):
    for _ in range(400):
        if (shown := page.run("Output.textContent")) in texts:
            return shown
        time.sleep(0.025)
    pytest.fail(shown)


# The console of a game up to its first read that has no echo yet.
def transcript(steps, echoes):
    said = "".join("\0" if s is READ else s.decode() for s in steps).replace("\r", "").split("\0")
    return "".join(text + echo for text, echo in zip(said, [*echoes, ""]))


# The question that the console shows after a game's reads so far.
def question(page, draws=(), read=(), echoes=()):
    asked = {transcript(game([*draws, k], list(read)), echoes): k for k in QUESTIONS}
    return asked[until(page, *asked)]


# Answers the game's questions in turn, each by a typist that takes the right answer and gives
# the keys of a line, which Enter ends; then Enter at each of the game's waits. Returns the
# game's draws, reads and echoes.
def play(page, *answers):
    draws, read, echoes = [], [], []
    for typist, line in answers:
        k = question(page, draws, read, echoes)
        right = QUESTIONS[k][1].decode()
        page.keys(typist(right) + ENTER)
        draws, read = draws + [k], read + [line.format(right).encode()]
        echoes.append(line.format(right) + "\n")
        for _ in range(1 + (read[-1] != QUESTIONS[k][1])):
            until(page, transcript(game(draws, read), echoes))
            page.keys(ENTER)
            echoes.append("\n")
    return draws, read, echoes


@on(PAGE)
def test_page(page):
    # One game of typed lines, the first edited with every key a console line edits with, the
    # second after a click outside the console, the third wrong; the counts.
    draws, read, echoes = play(
        page, (lambda right: "x" + ESC + right[1:] + HOME + right[0] + "ab" + LEFT * 2 + DELETE
               + RIGHT + BACKSPACE, "{}"),
        (lambda right: page.click("h1") or right, "{}"),
        (lambda right: right + HOME + END_KEY + ".", "{}."))
    until(page, transcript(game(draws, read), echoes) + END)
    page.shot("page-%s.png" % FLAVOUR)
    # A new game, which Ctrl+C ends at once, whatever it waits for.
    page.keys(ENTER)
    k = question(page)
    page.keys("abc" + CTRL + "c" + RELEASE)
    until(page, transcript(game([k], []), []) + "abc^C\n" + END)
    if FLAVOUR != "chromium":
        return
    # A new game: a word composed by an input method, then the rest committed with no key, as
    # touch keyboards and voice give it; a line of 10,000 bytes pasted, wrong; then byte 26
    # (Ctrl+Z) ahead of a line ends the input: it stays unread, and the game's last wait ends at
    # once. Meanwhile what a screen reader hears: each piece of the console's text added once.
    page.run("Heard = 0, new MutationObserver(Changes => Changes.forEach(Change => {"
             "  if (Change.removedNodes.length) Heard = 0;"  # a new game's clear console
             "  Change.addedNodes.forEach(Node => Heard += Node.textContent.length);"
             "})).observe(Output, {childList: true}) || 0")
    page.keys(ENTER)
    cdp = page.driver.execute_cdp_cmd
    draws, read, echoes = play(page, (lambda right: [cdp("Input.imeSetComposition", {
        "text": right[:2], "selectionStart": 2, "selectionEnd": 2}), cdp("Input.insertText", {
            "text": right[:2]}), cdp("Input.insertText", {"text": right[2:]})] and "", "{}"))
    k = question(page, draws, read, echoes)
    page.driver.execute_script("var Data = new DataTransfer(); Data.setData('text', arguments[0]);"
                               "Line.dispatchEvent(new ClipboardEvent('paste', "
                               "{clipboardData: Data, cancelable: true}))", "a" * 10000 + "\r\n")
    page.keys(CTRL + "z" + RELEASE + ENTER)
    echoes += ["a" * 10000 + "\n", "\u241a\n", ""]
    until(page, transcript(game(draws + [k], read + [b"a" * 10000]), echoes) + END)
    # The console is the one live region, the line a labelled text box that gives its text; a
    # touch keyboard changes nothing in it (capitals, corrections).
    page.keys("x")
    assert [[node.get(what, {}).get("value") for what in ("role", "name", "value")]
            for node in cdp("Accessibility.getFullAXTree", {})["nodes"] if node["role"]["value"]
            == "textbox" or "live" in str(node.get("properties"))] == [
        ["log", "Igra", None], ["textbox", "Odgovor", "x"]]
    assert page.run("[Heard == Output.textContent.length, Line.autocapitalize, "
                    "Line.spellcheck, Line.getAttribute('autocorrect')]") == [
        True, "none", False, "off"]
    # At a phone's width, with the rows of the long line on the screen.
    page.driver.set_window_size(360, 740)
    assert page.run("document.documentElement.scrollWidth == innerWidth && parseFloat("
                    "getComputedStyle(Output).fontSize) >= 12")
    page.shot("page-360.png")
