# The build flavour the end-to-end table runs on (KVIZ_FLAVOUR): the Linux programs, the
# Windows programs under wine, or the Linux programs under valgrind's memcheck. A flavour whose
# tool or programs are missing ends the session with code 77, which ctest shows as skipped.
#
# Where wine differs from Windows, and what the table does about it:
# - wine's console wraps output in escape sequences of its own, so the terminal player runs on
#   Linux only.
# - A unix pipe handed to a wine program ends with 0 bytes read rather than ERROR_BROKEN_PIPE,
#   so input pipes reach a Windows program as Windows anonymous pipes made by pipe_run.exe,
#   which wine serves as Windows does. A write into a unix pipe without reader fails with 233
#   rather than 232 (ERROR_NO_DATA): that row's report is 233 under wine.
# - /dev/full is a character device to wine as well; a write to it fails with 112
#   (ERROR_DISK_FULL), the code Linux's ENOSPC becomes in the Linux build.
# - Closed descriptors, a directory as input, resource limits and signals are unix matters that
#   wine maps in ways of its own (a closed input reads as error 1, a size limit goes unnoticed);
#   those rows run on Linux only.
import os
import platform
import shutil
import subprocess

import pytest

FLAVOUR = os.environ.get("KVIZ_FLAVOUR", "linux")
PROCESSOR = os.environ.get("KVIZ_PROCESSOR") or platform.machine()  # the programs'
BIN = os.path.abspath(os.environ.get("KVIZ_BIN", "build"))
SANITIZED = os.environ.get("KVIZ_SANITIZED", "OFF") not in ("", "0", "OFF")
MEMCHECK = ["valgrind", "-q", "--error-exitcode=99", "--leak-check=full",
            "--errors-for-leak-kinds=definite"]
PREFIX = {"wine": ["wine"], "valgrind": MEMCHECK}.get(FLAVOUR, [])


def program(name):
    return os.path.join(BIN, name + (".exe" if FLAVOUR == "wine" else ""))


def pytest_sessionstart(session):
    for needed in PREFIX[:1] + [program("kviz_scripted")]:
        if not shutil.which(needed):
            pytest.exit("skipped: no " + needed, returncode=77)


# A 32-bit prefix of the build's own. Its first use sets it up, prints to stderr and starts
# wine's service processes, which would hold a test's pipes open: a warm-up run takes that, and
# the server stays up until the session ends.
@pytest.fixture(scope="session", autouse=True)
def wine_prefix():
    if FLAVOUR == "wine":
        os.environ.update(WINEPREFIX=os.path.join(BIN, "wine-prefix"), WINEARCH="win32",
                          WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree=;mshtml=")
        os.makedirs(os.environ["WINEPREFIX"], exist_ok=True)
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-p"], check=True)
        subprocess.run(["wine", program("kviz")], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    yield
    if FLAVOUR == "wine":
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
