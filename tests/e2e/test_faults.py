"""Processor faults end through the fault number table: the run-time error text on standard
output after the output held before it, and the table's number as the exit code."""
import os
import re
import subprocess
import tempfile
import unittest

PROBE = os.environ.get("KVIZ_FAULT_PROBE", "build/fault_probe")


class ProcessorFault(unittest.TestCase):
    def fault(self, name):
        with tempfile.TemporaryFile() as out:
            result = subprocess.run([PROBE, name], stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=subprocess.PIPE, timeout=60)
            out.seek(0)
            return result.returncode, out.read(), result.stderr

    def check(self, name, number):
        code, out, err = self.fault(name)
        self.assertEqual(code, number)
        self.assertRegex(out, rb"^held\r\nRuntime error " + str(number).encode() +
                         rb" at [0-9A-F]{8}\x00\r\n$")
        self.assertEqual(err, b"")

    def test_access_violation(self):
        self.check("access", 216)

    def test_integer_division_by_zero(self):
        self.check("divide", 200)

    def test_other_fault(self):
        self.check("trap", 255)

    def test_no_fault_ends_normally(self):
        self.assertEqual(self.fault("none"), (0, b"held\r\n", b""))


if __name__ == "__main__":
    unittest.main()
