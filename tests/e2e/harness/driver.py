"""The window driver (e2e-driver.exe) kept running inside a prefix: one Wine start
serves every command of a run."""

import os
import re
import select
import subprocess
import time
from contextlib import suppress
from dataclasses import dataclass

from harness import end

# Longer than any wait a command is given, so that a driver that hangs is told apart
# from a window that does not come.
ANSWER_SECONDS = 200
_UNESCAPE = {"\\": "\\", "t": "\t", "r": "\r", "n": "\n"}


def _unescape(text):
    return re.sub(r"\\(.)", lambda m: _UNESCAPE.get(m[1], m[1]), text, flags=re.S)


@dataclass
class Answer:
    code: int
    out: str
    errors: str

    @property
    def ok(self):
        return self.code == 0

    @property
    def lines(self):
        return self.out.splitlines()

    def __bool__(self):
        return self.ok


@dataclass
class Rect:
    window: tuple  # left, top, right, bottom on the screen
    client: tuple  # x, y, width, height of the client area on the screen
    state: str


class Driver:
    """`e2e-driver.exe serve` in `prefix` on `display`; its errors go to `log`."""

    def __init__(self, wine, prefix, display, log):
        self.process = wine.start(prefix, [wine.driver, "serve"], display=display,
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=log)
        self.pending = b""

    def __call__(self, *args):
        """The answer to one command, e.g. driver("click", "Setup", "OK")."""
        line = "\t".join(str(a) for a in args) + "\n"
        self.process.stdin.write(line.encode())
        self.process.stdin.flush()
        return self._answer(" ".join(str(a) for a in args))

    def _answer(self, command):
        deadline = time.monotonic() + ANSWER_SECONDS
        out = self.process.stdout.fileno()
        while True:
            newline = self.pending.find(b"\n")
            if newline >= 0:
                line = self.pending[:newline].decode(errors="replace")
                self.pending = self.pending[newline + 1:]
                fields = line.split("\t")
                # Anything but an answer (Wine writes little, but may) is skipped.
                if len(fields) == 3 and fields[0].isdigit():
                    return Answer(int(fields[0]), _unescape(fields[1]), _unescape(fields[2]))
                continue
            # The wineserver that the driver started holds its output open: an end of
            # the driver shows in its exit, not in an end of the output.
            if not select.select([out], [], [], 0.5)[0]:
                if self.process.poll() is not None:
                    raise RuntimeError(f"the window driver ended during \"{command}\"")
                if time.monotonic() > deadline:
                    raise RuntimeError(f"the window driver did not answer \"{command}\"")
                continue
            self.pending += os.read(out, 65536)

    def wait_window(self, caption, seconds=20):
        return self("wait-window", caption, seconds).ok

    def rect(self, caption, seconds=5):
        """The window's rectangles, or None when there is no such window."""
        answer = self("rect", caption, seconds)
        fields = dict(line.split(" ", 1) for line in answer.lines)
        if not answer or not {"window", "client", "state"} <= fields.keys():
            return None
        return Rect(tuple(map(int, fields["window"].split())),
                    tuple(map(int, fields["client"].split())), fields["state"])

    def buttons(self, caption):
        """The texts of the window's visible buttons, sorted."""
        return sorted(self("buttons", caption).lines)

    def text(self, caption):
        return self("text", caption).out

    def controls(self, caption, seconds=5):
        return self("controls", caption, seconds).lines

    def syscolor(self, index):
        return tuple(int(v) for v in self("syscolor", index).out.split())

    def close(self):
        """The end of its input ends the driver."""
        with suppress(OSError):
            self.process.stdin.close()
        end(self.process, 5)
