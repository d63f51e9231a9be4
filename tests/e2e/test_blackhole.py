"""blackhole in a real window: caption, white rings, and both ways of ending it."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "blackhole")
WHITE = (252, 252, 252)


def wait_exit(proc, seconds):
    try:
        return proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        raise AssertionError(f"still running {seconds} s after being asked to end")


def main():
    with XServer() as x:
        # A key press ends the program.
        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window("^GAURA NEAGRA$")
        _, _, width, height = x.window_geometry(wid)
        assert (width, height) == (800, 600), (width, height)
        # The first frame shows a blank page; slow builds (sanitizers) take a while to start.
        deadline = time.monotonic() + 10
        while True:
            shot = x.screenshot(wid)
            rings = shot.count(WHITE)
            if rings > 500 or time.monotonic() > deadline:
                break
            x.settle(0.2)
        colours = shot.colours()
        shot.save_png(os.path.join(os.environ.get("EASEL_E2E_OUT", "/tmp"), "blackhole.png"))
        assert rings > 500, f"only {rings} white pixels; colours {sorted(colours)[:8]}"
        assert colours <= {WHITE, (0, 0, 0)}, sorted(colours)[:8]
        start = time.monotonic()
        x.key(wid, "space")
        assert wait_exit(proc, 5) == 0
        print(f"key press: ended with 0 after {time.monotonic() - start:.2f} s")

        # So does the close box (the window manager's close request).
        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window("^GAURA NEAGRA$")
        x.settle(0.3)
        start = time.monotonic()
        x.close_window(wid)
        assert wait_exit(proc, 5) == 0
        print(f"close request: ended with 0 after {time.monotonic() - start:.2f} s")
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
