# Whether this host runs 32-bit x86 programs, as 32-bit wine needs (some kernels refuse them with
# "Exec format error"); KVIZ_NO_32BIT=1 answers no on any host, to try that road. As a program:
# exit status 0 when the host can, else 1; either way the answer on standard output.
import os
import subprocess
import sys

LOADER = "/usr/lib/wine/wine"  # Debian's 32-bit wine: a small 32-bit program of its own


def why_not():
    """None when 32-bit programs run here, else the reason."""
    if os.environ.get("KVIZ_NO_32BIT"):
        return "KVIZ_NO_32BIT is set"
    try:
        subprocess.run([LOADER, "--version"], capture_output=True, check=True, timeout=60)
    except FileNotFoundError:
        return "no 32-bit wine at %s (Debian package wine32:i386)" % LOADER
    except (OSError, subprocess.SubprocessError) as error:
        return "32-bit programs do not run here: %s" % error
    return None


if __name__ == "__main__":
    reason = why_not()
    print(reason or "32-bit programs run here")
    sys.exit(1 if reason else 0)
