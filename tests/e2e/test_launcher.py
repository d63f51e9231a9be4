"""The launcher in a real window: its list on the screen, a demo started by a click and ended
by a key, and Escape ending the launcher."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer  # noqa: E402

PROGRAMS = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
TOP, ROW = 52, 36  # launcher.h: kTop, kRowHeight
YELLOW, WHITE = (252, 252, 84), (252, 252, 252)


def wait_exit(proc, seconds):
    try:
        return proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        raise AssertionError(f"still running {seconds} s after being asked to end")


def main():
    with XServer() as x:
        launcher = subprocess.Popen([os.path.join(PROGRAMS, "launcher")],
                                    env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window("^easel demos$")
        _, _, width, height = x.window_geometry(wid)
        assert (width, height) == (800, 600), (width, height)
        # The first picture may take a moment (fonts are looked up at the first text).
        deadline = time.monotonic() + 15
        while True:
            shot = x.screenshot(wid)
            title = sum(1 for y in range(10, 40) for xx in range(16, 150)
                        if shot.pixel(xx, y)[0] > 200 and shot.pixel(xx, y)[2] < 150)
            if title > 100 or time.monotonic() > deadline:
                break
            time.sleep(0.2)
        shot.save_png(os.path.join(OUT, "launcher.png"))
        colours = shot.colours()
        assert title > 100, f"no yellow title ({title} pixels); colours {sorted(colours)[:8]}"
        names = [sum(1 for y in range(TOP + r * ROW, TOP + (r + 1) * ROW) for xx in range(16, 150)
                     if shot.pixel(xx, y) == WHITE) for r in range(14)]
        assert sum(1 for n in names if n > 30) >= 8, names  # the built demos' names in white
        print(f"launcher: window 800x600, title and {sum(1 for n in names if n > 30)} demo names "
              f"in white (screenshot {os.path.join(OUT, 'launcher.png')})")

        # A click on the first row starts blackhole; it runs as its own program.
        y = TOP + ROW // 2
        x.press(wid, 300, y)
        time.sleep(0.2)
        x.release(wid, 300, y)
        demo = x.wait_window("^GAURA NEAGRA$")
        deadline = time.monotonic() + 10
        while (ring := x.screenshot(demo).count(WHITE)) <= 500 and time.monotonic() < deadline:
            time.sleep(0.2)
        assert ring > 500, ring
        assert launcher.poll() is None
        x.key(demo, "space")
        deadline = time.monotonic() + 5
        while x.window_exists(demo) and time.monotonic() < deadline:
            time.sleep(0.1)
        assert not x.window_exists(demo), "blackhole did not end"
        x.settle(0.3)
        after = x.screenshot(wid)
        after.save_png(os.path.join(OUT, "launcher-after.png"))
        print(f"click on row 1: blackhole started ({ring} white ring pixels), ended by a key; "
              f"launcher still open")

        x.key(wid, "Escape")
        assert wait_exit(launcher, 5) == 0
        print("Escape: launcher ended with 0")
    print("2 passed, 0 failed")


if __name__ == "__main__":
    main()
