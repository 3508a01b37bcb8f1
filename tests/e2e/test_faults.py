# Faults and reports: processor faults end with the run-time error text, and a report names the
# program's file and an offset in the routine whose statement failed, in every link of the game.
import dataclasses
import os
import re
import subprocess

import pytest

from kviz import FLAVOUR, LINUX, NODE, PLAIN, PROCESSOR, QEMU, WINE, Run, launch, on, program

# The fault probe's faults and their numbers. An integer division by zero does not trap on
# aarch64, POWER or RISC-V: the processor gives a quotient (0 on aarch64, all ones on RISC-V,
# any on POWER) and the probe ends normally. A stack that overflows is an access fault to Linux,
# which does not tell the two apart; node tells it. A faulting routine of the probe is smaller
# than 64 bytes.
FAULTS = {"access": 216, "divide": 0 if PROCESSOR in ("aarch64", "ppc64le", "riscv64") else 200,
          "trap": 255, "illegal": 255, "stack": 202 if FLAVOUR in NODE else 216}


# The held output names the routine that faults; the run-time error text gives the fault's
# number and the faulting instruction's address, which lies in that routine (but for the
# stack's, which runs out wherever it does): after the held point, or at it, which a return
# address in Thumb code names one byte late, its lowest bit being set.
@on(LINUX | QEMU | WINE | NODE)
@pytest.mark.parametrize("fault", [
    # wine, unlike Windows, finds no room on an overflowed stack to raise the exception in, and
    # ends the program itself.
    pytest.param(fault, marks=on(LINUX | QEMU | NODE)) if fault == "stack" else fault
    for fault in FAULTS])
def test_processor_fault(fault, tmp_path):
    code = FAULTS[fault]
    run = Run(fault, program="fault_probe", args=(fault,), stdin="null", stdout="file")
    status, out, err, _, _ = launch(run, tmp_path)
    assert (status, err) == (code, b"")
    found = re.fullmatch(rb"held at ([0-9A-F]{8})\r\n" + (
        rb"Runtime error %d at ([0-9A-F]{8})\x00\r\n" % code if code else b""), out)
    assert found, out
    if code and fault != "stack":
        assert (int(found[2], 16) - int(found[1], 16) + 1) % (1 << 32) < 64, out


# In each way the game may be linked, the report's offset, counted from where the file's first
# byte is mapped, lies in the routine whose statement failed: on a full console the question's
# first line, whose check is in PrintQuestion or in a routine that the compiler built it into;
# for an endless answer under an address-space cap (natively only, as the row of the handles'
# table), the line read in CheckAnswer or a routine that took it in.
FAILURES = [
    pytest.param((Run("full", stdin="null", stdout="full"), "PrintQuestion(int)"), id="full",
                 marks=on(LINUX | QEMU)),
    pytest.param((Run("memory", stdin="zero", stdout="null", memory=128 << 20), "CheckAnswer()"),
                 id="memory", marks=on(PLAIN)),
]


@pytest.mark.parametrize("failure", FAILURES)
@pytest.mark.parametrize("game", os.environ.get("KVIZ_LINKED_GAMES", program("kviz")).split(":"),
                         ids=os.path.basename)
def test_report_offset_in_the_failing_routine(game, failure, tmp_path):
    run, routine = failure
    _, _, err, _, _ = launch(dataclasses.replace(run, program=game), tmp_path)
    found = re.match(rb"Exception \w+ in module %s at ([0-9A-F]{8})\." % re.escape(
        os.path.basename(game).encode()), err)
    assert found, err
    # Where the file's first byte is mapped: the first loaded segment's address less its offset.
    segments = subprocess.run(["readelf", "-lW", game], capture_output=True, text=True,
                              check=True).stdout
    offset, address = re.search(r"LOAD +(0x\w+) (0x\w+)", segments).groups()
    call = int(address, 16) - int(offset, 16) + int(found[1], 16) - 1  # the call's last byte
    symbols = subprocess.run([os.environ.get("KVIZ_NM") or "nm", "-C", "-S", "--defined-only",
                              game], capture_output=True, text=True, check=True).stdout
    routines = [line.split(maxsplit=3) for line in symbols.splitlines()]
    assert {name for start, length, kind, name in (r for r in routines if len(r) == 4)
            if kind in "tT" and int(start, 16) <= call < int(start, 16) + int(length, 16)} & {
        "AskQuestion(int)", "Play()", routine}
