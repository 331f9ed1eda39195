"""A virtual X display (Xvfb) for a run, and its pictures read in-process."""

import os
import select
import subprocess

from PIL import ImageGrab, ImageStat

from harness import end


class Display:
    """An Xvfb server on a display number it picks itself; stopped by `stop`."""

    def __init__(self, size="1024x768"):
        read_end, write_end = os.pipe()
        with os.fdopen(read_end, "rb") as ready:
            try:
                self.process = subprocess.Popen(
                    ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{size}x24",
                     "-nolisten", "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL)
            finally:
                os.close(write_end)
            # Xvfb writes the number it picked in one line once it takes clients.
            number = ready.readline().strip() if select.select([ready], [], [], 10)[0] else b""
        if not number.isdigit():
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number.decode()

    def grab(self):
        return Shot(ImageGrab.grab(xdisplay=self.name))

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            end(self.process, 10)


class Shot:
    """A picture of the screen."""

    def __init__(self, image):
        self.image = image.convert("RGB")

    def save(self, path):
        self.image.save(path)
        return self

    def pixel(self, x, y):
        """(R, G, B) of one pixel, None outside the picture."""
        if not (0 <= x < self.image.width and 0 <= y < self.image.height):
            return None
        return self.image.getpixel((x, y))

    def near(self, x, y, colour, tolerance=8):
        """Each channel of the pixel at x, y within `tolerance` of `colour`."""
        got = self.pixel(x, y)
        return got is not None and all(abs(a - b) <= tolerance for a, b in zip(got, colour))

    def mean(self, x, y, width, height):
        """Mean brightness of a rectangle, 0 to 255."""
        region = self.image.crop((x, y, x + width, y + height)).convert("L")
        return round(ImageStat.Stat(region).mean[0])
