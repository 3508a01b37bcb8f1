# The build flavour the end-to-end table runs on (KVIZ_FLAVOUR): the Linux programs, the
# Windows programs under wine, or the Linux programs under valgrind's memcheck. A flavour whose
# tool or programs are missing ends the session with code 77, which ctest shows as skipped.
import os
import shutil
import subprocess

import pytest

FLAVOUR = os.environ.get("KVIZ_FLAVOUR", "linux")
BIN = os.path.abspath(os.environ.get("KVIZ_BIN", "build"))
SUFFIX = ".exe" if FLAVOUR == "wine" else ""
SANITIZED = os.environ.get("KVIZ_SANITIZED", "OFF") not in ("", "0", "OFF")
MEMCHECK = ["valgrind", "-q", "--error-exitcode=99", "--leak-check=full",
            "--errors-for-leak-kinds=definite", "--show-leak-kinds=definite"]


def program(name):
    return os.path.join(BIN, name + SUFFIX)


def prefix():  # what runs a program of this flavour
    return {"wine": ["wine"], "valgrind": MEMCHECK}.get(FLAVOUR, [])


def pytest_sessionstart(session):
    tool = {"wine": "wine", "valgrind": "valgrind"}.get(FLAVOUR)
    if tool and not shutil.which(tool):
        pytest.exit(f"skipped: {tool} is not installed", returncode=77)
    if not os.path.exists(program("kviz_scripted")):
        pytest.exit(f"skipped: no {program('kviz_scripted')}", returncode=77)


# A 32-bit prefix of the build's own. Its first use sets it up, prints to stderr and starts
# wine's service processes, which would hold a test's pipes open: a warm-up run takes that, and
# the server stays up until the session ends.
@pytest.fixture(scope="session", autouse=True)
def wine_prefix():
    if FLAVOUR != "wine":
        yield
        return
    os.environ.update(WINEPREFIX=os.path.join(BIN, "wine-prefix"), WINEARCH="win32",
                      WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree=;mshtml=")
    os.makedirs(os.environ["WINEPREFIX"], exist_ok=True)
    subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-p"], check=True)
    subprocess.run(["wine", program("kviz")], stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    yield
    subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
