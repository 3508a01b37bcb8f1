#!/usr/bin/env python3
"""The page's start-up and its zip, from a WebAssembly build after `cpack -G ZIP`: the time from
navigation to the first question on the terminal in headless Chromium, the page opened from
file:// as the zip unpacks, in a fresh browser each time (cold) and opened again in it (warm),
medians of N; and the zip's size. Needs python3-selenium, chromium and chromium-driver.
Usage: /usr/bin/python3 bench/page.py BUILD_DIR [N]   (N: 15 by default)"""
import glob
import os
import pathlib
import shutil
import statistics
import sys
import tempfile
import time

from selenium import webdriver

# Set on the page before its scripts run: the moment (from navigation) at which the terminal's
# rows first end with a whole question, whose last line ends in "?" or is the second choice.
FIRST_QUESTION = r"""
window.KvizFirstQuestion = null;
new MutationObserver((_, Observer) => {
  var Rows = document.querySelector('.xterm-rows');
  if (Rows && /(\?|2\) (Ne|Interpretira|Real)\.)\s*$/.test(Rows.textContent)) {
    window.KvizFirstQuestion = performance.now();
    Observer.disconnect();
  }
}).observe(document, { subtree: true, childList: true, characterData: true });
"""
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-sync",
         "--disable-background-networking", "--disable-component-update"]


def first_question(driver, page):
    driver.get(page)
    while (moment := driver.execute_script("return window.KvizFirstQuestion")) is None:
        time.sleep(0.005)
    return moment


build, loads = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 15
zip_file = glob.glob(os.path.join(build, "kviz-*-web.zip"))[0]
with tempfile.TemporaryDirectory() as scratch:
    shutil.unpack_archive(zip_file, scratch)
    page = next(pathlib.Path(scratch).glob("*/index.html")).as_uri()
    options = webdriver.ChromeOptions()
    for flag in FLAGS:
        options.add_argument(flag)
    cold, warm = [], []
    for _ in range(loads):
        driver = webdriver.Chrome(options=options)
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": FIRST_QUESTION})
        cold.append(first_question(driver, page))
        warm.append(first_question(driver, page))
        driver.quit()
size = os.path.getsize(zip_file)
print("page, navigation to the first question, median of %d: cold %.0f ms, warm %.0f ms"
      % (loads, statistics.median(cold), statistics.median(warm)))
print("%s: %d bytes (%.2f MiB)" % (os.path.basename(zip_file), size, size / 2**20))
