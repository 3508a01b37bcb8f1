# The build flavour the end-to-end table runs on (KVIZ_FLAVOUR): the Linux programs, the 64-bit
# Windows programs under wine64 (wine64), the 32-bit ones under 32-bit wine (wine32), the Linux
# programs under valgrind's memcheck, or those of a cross build under qemu-user, in a flavour
# named for their processor (aarch64, i686, s390x). A flavour whose tool or programs are
# missing, or 32-bit wine on a host that runs no 32-bit programs, ends the session with code 77,
# which ctest shows as skipped; so does a session in which any row skipped (a tool that cannot
# run here), with the reasons. Tests marked for other flavours are left out, not skipped.
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
#
# Under qemu-user (KVIZ_PREFIX, the build's CMAKE_CROSSCOMPILING_EMULATOR), the rows for "Q" run.
# What qemu changes:
# - strace follows qemu. qemu makes each of its program's reads and writes as one call on the
#   same descriptor, so the rows that count or fail them hold; a wait of any kind becomes a
#   ppoll, which the rows that fail a wait then fail (test_kviz.py's WAIT).
# - A resource limit applies to qemu as well. File-size limits hold as they do natively, but
#   qemu alone takes 128 MiB for its translated code: under the 128 MiB address-space cap it
#   cannot start, so the endless line runs natively only.
# - The Linux-only checks (the report's offset in each link, the terminal player) run under
#   qemu too, and the 100 MiB answer takes a few seconds there.
import os
import platform
import shutil
import subprocess

import pytest

import runs_32bit

FLAVOUR = os.environ.get("KVIZ_FLAVOUR", "linux")
WINE = FLAVOUR.startswith("wine")
EMULATED = FLAVOUR not in ("linux", "wine32", "wine64", "valgrind")
PROCESSOR = os.environ.get("KVIZ_PROCESSOR") or platform.machine()  # the programs'
BIN = os.path.abspath(os.environ.get("KVIZ_BIN", "build"))
SANITIZED = os.environ.get("KVIZ_SANITIZED", "OFF") not in ("", "0", "OFF")
MEMCHECK = ["valgrind", "-q", "--error-exitcode=99", "--leak-check=full",
            "--errors-for-leak-kinds=definite"]
# Debian's wine64 loader runs 64-bit programs without any 32-bit part.
PREFIX = {"wine32": ["wine"], "wine64": [shutil.which("wine64") or "/usr/lib/wine/wine64"],
          "valgrind": MEMCHECK}.get(FLAVOUR, os.environ.get("KVIZ_PREFIX", "").split())


def program(name):
    return os.path.join(BIN, name + (".exe" if WINE else ""))


def pytest_sessionstart(session):
    for needed in PREFIX[:1] + [program("kviz_scripted")]:
        if not shutil.which(needed):
            pytest.exit("skipped: no " + needed, returncode=77)
    if FLAVOUR == "wine32" and (reason := runs_32bit.why_not()):
        pytest.exit("skipped: " + reason, returncode=77)


def pytest_configure(config):
    config.addinivalue_line("markers", "on(flavours): the flavours that take the test (LWVQ)")


# A test marked for other flavours is left out rather than skipped: a skip says that something
# which should have run could not.
def pytest_collection_modifyitems(config, items):
    letter = "Q" if EMULATED else FLAVOUR[0].upper()
    other = [i for i in items if (on := i.get_closest_marker("on")) and letter not in on.args[0]]
    config.hook.pytest_deselected(items=other)
    items[:] = [i for i in items if i not in other]


SKIPPED = []


def pytest_runtest_logreport(report):
    if report.skipped:
        SKIPPED.append(report.nodeid)


def pytest_sessionfinish(session, exitstatus):
    if exitstatus == 0 and SKIPPED:
        session.exitstatus = 77


# A prefix of the build's own, of the programs' width. Its first use sets it up, prints to
# stderr and starts wine's service processes, which would hold a test's pipes open: a warm-up
# run takes that, and the server stays up until the session ends.
@pytest.fixture(scope="session", autouse=True)
def wine_prefix():
    if WINE:
        os.environ.update(WINEPREFIX=os.path.join(BIN, "wine-prefix"),
                          WINEARCH="win" + FLAVOUR[4:],  # win32 or win64
                          WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree=;mshtml=")
        os.makedirs(os.environ["WINEPREFIX"], exist_ok=True)
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-p"], check=True)
        subprocess.run(PREFIX + [program("kviz")], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    yield
    if WINE:
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
