# The platforms' images: what each target's programs are made of, as their file format says.
import re
import subprocess

from kviz import FLAVOUR, WINE, on, program


@on(WINE)
def test_windows_image():
    # Console programs (subsystem 3) of the flavour's width and machine, which the file format
    # names, that need only the DLLs every Windows has.
    machine = {"wine32": r"pei-i386\n.*^Magic\s+010b", "wine64": r"pei-x86-64\n.*^Magic\s+020b"}
    for name in ("kviz", "kviz_scripted"):
        dump = subprocess.run(["objdump", "-p", program(name)], capture_output=True, text=True,
                              check=True).stdout
        assert re.search(machine[FLAVOUR] + r".*^Subsystem\s+00000003", dump, re.M | re.S), dump
        assert {d.lower() for d in re.findall(r"DLL Name: (\S+)", dump)} <= {
            "kernel32.dll", "user32.dll", "msvcrt.dll"}
