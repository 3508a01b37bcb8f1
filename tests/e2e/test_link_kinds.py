"""The first line of the fatal report in each way the game is linked: the module is the
program's own file name, and the offset, taken from where the file's first byte is mapped,
lies in the routine whose statement failed."""
import os
import re
import struct
import subprocess

import pytest

GAMES = os.environ.get("KVIZ_LINKED_GAMES", "../../build/kviz").split(os.pathsep)
# On a full console the first line of the question fails; its check is in PrintQuestion, or in
# a routine that the compiler built it into.
FAILING_ROUTINES = {"PrintQuestion(int)", "AskQuestion(int)", "Play()"}


def header_address(path):
    """The virtual address of the ELF file's first byte, as its first loaded segment gives it."""
    with open(path, "rb") as f:
        head = f.read(4096)
    assert head[:5] == b"\x7fELF\x02", "a 64-bit ELF file"
    (table,) = struct.unpack_from("<Q", head, 0x20)  # e_phoff
    size, count = struct.unpack_from("<HH", head, 0x36)  # e_phentsize, e_phnum
    for i in range(count):
        kind, _, offset, address = struct.unpack_from("<IIQQ", head, table + i * size)
        if kind == 1:  # PT_LOAD
            return address - offset
    raise AssertionError("no loaded segment")


def routine_at(path, address):
    symbols = subprocess.run(["nm", "-C", "-S", "--defined-only", path], capture_output=True,
                             text=True, check=True).stdout
    for line in symbols.splitlines():
        fields = line.split(maxsplit=3)
        if len(fields) == 4 and fields[2] in "tT":
            start, size = int(fields[0], 16), int(fields[1], 16)
            if start <= address < start + size:
                return fields[3]
    return None


@pytest.mark.parametrize("game", GAMES, ids=os.path.basename)
def test_report_names_the_file_and_the_failing_routine(game):
    with open("/dev/full", "wb") as full:
        result = subprocess.run([game], input=b"", stdout=full, stderr=subprocess.PIPE, timeout=60)
    assert result.returncode == 1
    first = result.stderr.split(b"\r\n")[0].decode()
    found = re.fullmatch(r"Exception EInOutError in module (\S+) at ([0-9A-F]{8})\.", first)
    assert found, result.stderr
    assert found[1] == os.path.basename(game)
    # The offset is the return point of the failing check's call; its last byte is one before,
    # which stays inside the routine when the call is the routine's last instruction.
    call = header_address(game) + int(found[2], 16) - 1
    assert routine_at(game, call) in FAILING_ROUTINES
