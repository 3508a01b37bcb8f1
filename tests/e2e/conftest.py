# The build flavour the end-to-end tables run on (KVIZ_FLAVOUR, see kviz.py). A flavour whose
# programs or emulator are missing, or 32-bit wine on a host that runs no 32-bit programs, ends
# the session with code 77, which ctest shows as skipped; so does a session in which any test
# skipped (a tool that cannot run here), with the reasons. Tests marked for other flavours are
# left out, not skipped: a skip says that something which should have run could not.
#
# Where wine differs from Windows, and what the tables do about it:
# - wine's console wraps output in escape sequences of its own, so the terminal player runs on
#   Linux only.
# - A unix pipe handed to a wine program ends with 0 bytes read rather than ERROR_BROKEN_PIPE,
#   so input pipes reach a Windows program as the Windows anonymous pipe of cmd's "type FILE |",
#   which wine serves as Windows does. A write into a unix pipe without reader fails with 233
#   rather than 232 (ERROR_NO_DATA).
# - /dev/full is a character device to wine as well; a write to it fails with 112
#   (ERROR_DISK_FULL), the code Linux's ENOSPC becomes in the Linux build.
# - Closed descriptors, a directory as input, resource limits and signals are unix matters that
#   wine maps in ways of its own (a closed input reads as error 1, a size limit goes unnoticed);
#   those rows run on Linux only.
#
# What qemu-user changes:
# - strace follows qemu. qemu makes each of its program's reads and writes as one call on the
#   same descriptor, so the rows that count or fail them hold; a wait of any kind becomes a
#   ppoll, which the rows that fail a wait then fail (kviz.WAIT).
# - A resource limit applies to qemu as well. File-size limits hold as they do natively, but
#   qemu alone takes 128 MiB for its translated code: under the 128 MiB address-space cap it
#   cannot start, so the endless line runs natively only.
import os
import shutil
import subprocess

import pytest

from kviz import EMULATOR, FLAVOUR, PREFIX, WINE, program


def pytest_sessionstart(session):
    if FLAVOUR in WINE and not EMULATOR:
        pytest.exit("skipped: no wine (Debian packages wine, wine64 and wine32:i386)", 77)
    for needed in PREFIX[:1] + [program("kviz_scripted")]:
        if not (shutil.which(needed) or os.path.isfile(needed)):  # a program for node is no file
            pytest.exit("skipped: no " + needed, returncode=77)     # that runs by itself
    # Some kernels refuse 32-bit programs ("Exec format error"), and so the 32-bit wine loader;
    # KVIZ_NO_32BIT=1 gives that answer on any host, to try that road.
    if FLAVOUR == "wine32":
        probe = ["false"] if os.environ.get("KVIZ_NO_32BIT") else EMULATOR + ["--version"]
        answer = subprocess.run(probe, capture_output=True, text=True, timeout=60)
        if answer.returncode != 0:  # a reason that .ci/check-skips knows
            pytest.exit("skipped: 32-bit programs do not run here (%s)" % (
                answer.stderr.strip() or "KVIZ_NO_32BIT is set"), returncode=77)


def pytest_collection_modifyitems(config, items):
    other = [i for i in items if any(FLAVOUR not in m.args[0] for m in i.iter_markers("on"))]
    config.hook.pytest_deselected(items=other)
    items[:] = [i for i in items if i not in other]


def pytest_sessionfinish(session, exitstatus):
    if exitstatus == 0 and session.config.pluginmanager.get_plugin(
            "terminalreporter").stats.get("skipped"):
        session.exitstatus = 77


# The Windows programs run in their build's prefix. Its first use sets it up, prints to stderr
# and starts wine's service processes, which would hold a test's pipes open: a warm-up run takes
# that, and the server, made to stay, stays up until the session ends.
@pytest.fixture(scope="session", autouse=True)
def wine_prefix():
    if FLAVOUR in WINE:
        # wineserver takes the prefix from the emulator's settings.
        os.environ.update(item.split("=", 1) for item in EMULATOR if "=" in item)
        os.makedirs(os.environ["WINEPREFIX"], exist_ok=True)
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-p"], check=True)
        subprocess.run(PREFIX + [program("kviz")], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    yield
    if FLAVOUR in WINE:
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
