"""The harness that drives the real Setup.exe under Wine: the Wine build of this host,
prefixes, X displays with their pictures, and the window driver. The end-to-end
suite and `make demo` share it."""

import subprocess


def end(process, seconds):
    """Gives `process` `seconds` to end, then kills it."""
    try:
        process.wait(seconds)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
