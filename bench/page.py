#!/usr/bin/env python3
"""The page's start-up and its zip, from a WebAssembly build after `cpack -G ZIP`: the time from
navigation to the first question in the console, in headless Chromium and in headless Firefox,
the page opened from file:// as the zip unpacks, in a fresh browser each time (cold) and opened
again in it (warm), medians of N; and the zip's size. Drives the engines as the page's tests do
(tests/e2e/test_page.py), with what .ci/install-deps web installs.
Usage: /usr/bin/python3 bench/page.py BUILD_DIR [N]   (N: 15 by default)"""
import glob
import os
import pathlib
import shutil
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
from test_page import CHROMIUM, firefox  # noqa: E402

# Set on the page before its scripts run: the moment (from navigation) at which the console
# first ends with a whole question, whose last line ends in "?" or is the second choice.
FIRST_QUESTION = r"""
window.KvizFirstQuestion = null;
new MutationObserver((_, Observer) => {
  var Output = document.getElementById('Output');
  if (Output && /(\?|2\) (Ne|Interpretira|Real)\.)\s*$/.test(Output.textContent)) {
    window.KvizFirstQuestion = performance.now();
    Observer.disconnect();
  }
}).observe(document, { subtree: true, childList: true, characterData: true });
"""


# Opens the page and waits for its first question; the moment it came.
def first_question(open_page, moment):
    open_page()
    while (found := moment()) is None:
        time.sleep(0.005)
    return found


def chromium(page):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    for flag in CHROMIUM:
        options.add_argument("--" + flag)
    driver = webdriver.Chrome(options=options, service=Service(shutil.which("chromedriver")))
    driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": FIRST_QUESTION})
    return (lambda: driver.get(page), lambda: driver.execute_script(
        "return window.KvizFirstQuestion"), driver.quit)


def in_firefox(page, scratch):
    folder = pathlib.Path(tempfile.mkdtemp(dir=scratch))
    session = firefox(folder)
    session.call("script.addPreloadScript", functionDeclaration="() => {%s}" % FIRST_QUESTION)
    return lambda: session.get(page), lambda: session.run("window.KvizFirstQuestion"), session.stop


build, loads = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 15
zip_file = glob.glob(os.path.join(build, "kviz-*-web.zip"))[0]
with tempfile.TemporaryDirectory() as scratch:
    shutil.unpack_archive(zip_file, scratch)
    page = next(pathlib.Path(scratch).glob("*/index.html")).as_uri()
    for name, start in (("Chromium", chromium), ("Firefox", lambda p: in_firefox(p, scratch))):
        cold, warm = [], []
        for _ in range(loads):
            open_page, moment, stop = start(page)
            cold.append(first_question(open_page, moment))
            warm.append(first_question(open_page, moment))
            stop()
        print("page in %s, navigation to the first question, median of %d: cold %.0f ms, "
              "warm %.0f ms" % (name, loads, statistics.median(cold), statistics.median(warm)))
size = os.path.getsize(zip_file)
print("%s: %d bytes (%.2f MiB)" % (os.path.basename(zip_file), size, size / 2**20))
