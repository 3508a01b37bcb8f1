"""Shared helpers for the end-to-end tests: where the programs are and how to run them."""
import os
import re
import subprocess

KVIZ = os.environ.get("KVIZ", "build/kviz")
KVIZ_SCRIPTED = os.environ.get("KVIZ_SCRIPTED", "build/kviz_scripted")

# The first report line, with any module offset.
REPORT_RE = re.compile(rb"^Exception (\w+) in module (\S+) at ([0-9A-F]{8})\.\r\n(.*)\r\n\r\n$",
                       re.S)


def run(program=None, stdin=b"", draws=None, **kwargs):
    """Runs a kviz program with bytes or a file object as input; returns CompletedProcess."""
    env = dict(os.environ)
    if draws is not None:
        env["KVIZ_DRAWS"] = ",".join(str(d) for d in draws)
        program = program or KVIZ_SCRIPTED
    program = program or KVIZ
    if isinstance(stdin, (bytes, bytearray)):
        kwargs.setdefault("input", stdin)
    else:
        kwargs["stdin"] = stdin
    kwargs.setdefault("stdout", subprocess.PIPE)
    kwargs.setdefault("stderr", subprocess.PIPE)
    return subprocess.run([program], env=env, timeout=kwargs.pop("timeout", 60), **kwargs)
