# The page in a browser engine (the flavour: Chromium, Firefox or WebKit), opened from file:// as
# its zip unpacks: whole games read off the console and answered from the table's questions,
# every read's screen against the game's model, with the line edited, the focus taken away and
# the game broken off; in Chromium also text from an input method, a touch keyboard and a paste,
# what a screen reader is given, and the page at a phone's width. Screenshots are left in the
# build folder. The keys go to whatever has the focus, which must be the line.
import base64
import glob
import inspect
import json
import os
import re
import shutil
import subprocess
import time

import pytest

from kviz import BIN, FLAVOUR, PAGE, QUESTIONS, READ, game, on

END = 'Kraj igre. Pritisni "Enter" za novu igru.\n'
# WebDriver's keys; a modifier stays down until the last code lets every key up.
ENTER, ESC, BACKSPACE, DELETE, CTRL = "\ue007", "\ue00c", "\ue003", "\ue017", "\ue009"
HOME, END_KEY, LEFT, RIGHT, RELEASE = "\ue011", "\ue010", "\ue012", "\ue014", "\ue000"
CHROMIUM = ("headless", "no-sandbox", "disable-gpu", "no-first-run", "disable-sync",
            "disable-background-networking", "disable-component-update")


class Selenium:  # Chromium and WebKit, through their WebDriver servers
    def __init__(self, driver):
        self.driver = driver

    def run(self, script):
        return json.loads(self.driver.execute_script("return JSON.stringify(%s)" % script))

    def keys(self, keys):
        self.driver.switch_to.active_element.send_keys(keys)

    def click(self, x, y):
        from selenium.webdriver.common.action_chains import ActionBuilder
        actions = ActionBuilder(self.driver)
        actions.pointer_action.move_to_location(x, y).click()
        actions.perform()

    def shot(self, name):
        self.driver.save_screenshot(os.path.join(BIN, name))


class Bidi:  # Firefox, which speaks WebDriver BiDi itself
    def __init__(self, url):
        import websocket
        self.socket, self.sent = websocket.create_connection(url, suppress_origin=True), 0
        self.call("session.new", capabilities={})
        self.context = self.call("browsingContext.getTree")["contexts"][0]["context"]

    def call(self, method, **params):
        self.sent += 1
        self.socket.send(json.dumps({"id": self.sent, "method": method, "params": params}))
        while (reply := json.loads(self.socket.recv())).get("id") != self.sent:
            pass
        assert "error" not in reply, reply
        return reply["result"]

    def run(self, script):
        return json.loads(self.call("script.evaluate", expression="JSON.stringify(%s)" % script,
                                    target={"context": self.context}, awaitPromise=False)[
            "result"]["value"])

    def act(self, kind, actions):
        self.call("input.performActions", context=self.context,
                  actions=[{"type": kind, "id": kind, "actions": actions}])

    def keys(self, keys):
        actions, held = [], []
        for key in keys:
            if key == RELEASE:
                actions += [{"type": "keyUp", "value": up} for up in held]
                held = []
                continue
            actions.append({"type": "keyDown", "value": key})
            if key == CTRL:
                held.append(key)
            else:
                actions.append({"type": "keyUp", "value": key})
        self.act("key", actions)

    def click(self, x, y):
        self.act("pointer", [{"type": "pointerMove", "x": x, "y": y},
                             {"type": "pointerDown", "button": 0},
                             {"type": "pointerUp", "button": 0}])

    def shot(self, name):
        shot = self.call("browsingContext.captureScreenshot", context=self.context)["data"]
        with open(os.path.join(BIN, name), "wb") as file:
            file.write(base64.b64decode(shot))


# The engine, started fresh at desktop size, with the zip's page open.
@pytest.fixture
def page(tmp_path):
    driver = shutil.which({"chromium": "chromedriver", "webkit": "WebKitWebDriver"}.get(
        FLAVOUR, "firefox-esr"))
    if FLAVOUR != "firefox":
        webdriver = pytest.importorskip("selenium.webdriver",
                                        reason="no python3-selenium, which drives " + FLAVOUR)
    if not driver:
        pytest.skip("no driver of %s: .ci/install-deps web installs it" % FLAVOUR)
    subprocess.run(["cpack", "-G", "ZIP", "-B", tmp_path], cwd=BIN, check=True)
    shutil.unpack_archive(next(tmp_path.glob("*.zip")), tmp_path)
    url = next(tmp_path.glob("*/index.html")).as_uri()
    if FLAVOUR == "chromium":
        from selenium.webdriver.chrome.service import Service
        options = webdriver.ChromeOptions()
        for argument in CHROMIUM:  # without the network services, which wait on no network
            options.add_argument("--" + argument)
        engine = Selenium(webdriver.Chrome(options=options, service=Service(driver)))
        stop = engine.driver.quit
    elif FLAVOUR == "webkit":  # on a screen of its own
        from selenium.webdriver.webkitgtk.service import Service
        if not shutil.which("Xvfb"):
            pytest.skip("no Xvfb, the screen of WebKit's browser: .ci/install-deps web installs it")
        screen_fd, screen_pipe = os.pipe()
        screen = subprocess.Popen(["Xvfb", "-displayfd", str(screen_pipe), "-nolisten", "tcp"],
                                  pass_fds=[screen_pipe], stderr=subprocess.DEVNULL)
        os.environ["DISPLAY"] = ":" + os.read(screen_fd, 16).decode().strip()
        options = webdriver.WebKitGTKOptions()
        options.binary_location = glob.glob("/usr/lib/*/webkit2gtk-4.*/MiniBrowser")[0]
        options.add_argument("--automation")
        # Debian 12's selenium takes the driver's path, Debian 13's a service.
        given = {"service": Service(driver)} if "service" in inspect.signature(
            webdriver.WebKitGTK).parameters else {"executable_path": driver}
        engine = Selenium(webdriver.WebKitGTK(options=options, **given))
        stop = lambda: (engine.driver.quit(), screen.kill())
    if FLAVOUR != "firefox":
        engine.driver.set_window_size(1280, 800)
        engine.driver.get(url)
    else:
        (tmp_path / "profile").mkdir()
        firefox = subprocess.Popen([driver, "--headless", "--no-remote", "--profile",
                                    tmp_path / "profile", "--remote-debugging-port=0"],
                                   stderr=open(tmp_path / "firefox.log", "w"))
        while not (listening := re.search(r"ws://\S+", (tmp_path / "firefox.log").read_text())):
            time.sleep(0.05)
        engine, stop = Bidi(listening[0] + "/session"), firefox.kill
        engine.call("browsingContext.setViewport", context=engine.context,
                    viewport={"width": 1280, "height": 800})
        engine.call("browsingContext.navigate", context=engine.context, url=url, wait="complete")
    yield engine
    stop()


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
# the keys of a line (or hands the line over itself); then Enter at each of the game's waits.
# Returns the game's draws, reads and echoes so far.
def play(page, answers, draws=(), read=(), echoes=()):
    draws, read, echoes = list(draws), list(read), list(echoes)
    for typist, line in answers:
        k = question(page, draws, read, echoes)
        right = QUESTIONS[k][1].decode()
        if (keys := typist(right)) is not None:
            page.keys(keys + ENTER)
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
    edited = lambda right: ("x" + ESC + right[1:] + HOME + right[0] + "ab" + LEFT * 2 + DELETE
                            + RIGHT + BACKSPACE)
    title = page.run("document.querySelector('h1').getBoundingClientRect()")
    elsewhere = lambda right: page.click(title["x"] + 5, title["y"] + 5) or right
    draws, read, echoes = play(page, [(edited, "{}"), (elsewhere, "{}"),
                                      (lambda right: right + HOME + END_KEY + ".", "{}.")])
    until(page, transcript(game(draws, read), echoes) + END)
    page.shot("page-%s.png" % FLAVOUR)
    # A new game, which Ctrl+C ends at once, whatever it waits for.
    page.keys(ENTER)
    k = question(page)
    page.keys("abc" + CTRL + "c" + RELEASE)
    until(page, transcript(game([k], []), []) + "abc^C\n" + END)
    if FLAVOUR == "chromium":
        typed_otherwise(page)


# A new game: a word composed by an input method, then the rest committed with no key, as touch
# keyboards and voice give it; a line of 10,000 bytes pasted, wrong; then byte 26 (Ctrl+Z) ahead
# of a line ends the input: it stays unread, and the game's last wait ends at once. Meanwhile
# what a screen reader hears: each piece of the console's text added once.
def typed_otherwise(page):
    page.run("Heard = 0, new MutationObserver(Changes => Changes.forEach(Change => {"
             "  if (Change.removedNodes.length) Heard = 0;"  # a new game's clear console
             "  Change.addedNodes.forEach(Node => Heard += Node.textContent.length);"
             "})).observe(Output, {childList: true}) || 0")
    page.keys(ENTER)
    cdp = page.driver.execute_cdp_cmd
    composed = lambda right: (
        cdp("Input.imeSetComposition", {"text": right[:2], "selectionStart": 2,
                                         "selectionEnd": 2}),
        cdp("Input.insertText", {"text": right[:2]}),
        cdp("Input.insertText", {"text": right[2:]}), "")[-1]
    draws, read, echoes = play(page, [(composed, "{}")])
    k = question(page, draws, read, echoes)
    page.driver.execute_script("var Data = new DataTransfer(); Data.setData('text', arguments[0]);"
                               "Line.dispatchEvent(new ClipboardEvent('paste', "
                               "{clipboardData: Data, cancelable: true}))", "a" * 10000 + "\r\n")
    page.keys(CTRL + "z" + RELEASE + ENTER)
    echoes += ["a" * 10000 + "\n", "\u241a\n", ""]
    until(page, transcript(game(draws + [k], read + [b"a" * 10000]), echoes) + END)
    # The console is the one live region, the line a labelled text box that gives its text.
    page.keys("x")
    tree = cdp("Accessibility.getFullAXTree", {})["nodes"]
    said = [{what: node.get(what, {}).get("value") for what in ("role", "name", "value")}
            for node in tree if node["role"]["value"] == "textbox"
            or any(p["name"] == "live" for p in node.get("properties", []))]
    assert said == [{"role": "log", "name": "Igra", "value": None},
                    {"role": "textbox", "name": "Odgovor", "value": "x"}]
    assert page.run("Heard == Output.textContent.length")
    # Nothing that a touch keyboard would change: capitals, corrections.
    assert page.run("[Line.autocapitalize, Line.spellcheck, Line.getAttribute('autocorrect')]") \
        == ["none", False, "off"]
    # At a phone's width, with the rows of the long line on the screen.
    page.driver.set_window_size(360, 740)
    assert page.run("document.documentElement.scrollWidth == innerWidth && parseFloat("
                    "getComputedStyle(Output).fontSize) >= 12")
    page.shot("page-360.png")
