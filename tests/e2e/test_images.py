# The platforms' images: what each target's programs are made of, as their file format says.
import re
import subprocess

from kviz import FLAVOUR, WINE, on, program


@on(WINE)
def test_windows_image():
    # Console programs of the flavour's width and machine (the file format names the machine)
    # that need only the DLLs every Windows has.
    widths = {"wine32": ("i686-w64-mingw32", "i386", r"010b\s+\(PE32\)"),
              "wine64": ("x86_64-w64-mingw32", "x86-64", r"020b\s+\(PE32\+\)")}
    triplet, machine, magic = widths[FLAVOUR]
    for name in ("kviz", "kviz_scripted"):
        dump = subprocess.run([triplet + "-objdump", "-p", program(name)],
                              capture_output=True, text=True, check=True).stdout
        assert re.search(r"file format pei-%s$.*^Magic\s+%s.*^Subsystem\s+00000003" % (
            machine, magic), dump, re.M | re.S), dump
        assert {d.lower() for d in re.findall(r"DLL Name: (\S+)", dump)} <= {
            "kernel32.dll", "user32.dll", "msvcrt.dll"}
