"""attractor in a real window: caption, white balls, balls gathering at a held left button,
and both ways of ending it."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "attractor")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
WHITE = (252, 252, 252)
BLACK = (0, 0, 0)
CENTRE = (400, 300)


def wait_exit(proc, seconds):
    try:
        return proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        raise AssertionError(f"still running {seconds} s after being asked to end")


def close_and_wait(x, wid, proc):
    """Sends one close request (what the close box sends) and returns (exit status, 1)."""
    x.close_window(wid)
    return wait_exit(proc, 5), 1


def white_near(shot, centre, radius):
    """White pixels within radius of centre."""
    cx, cy = centre
    n = 0
    for y in range(cy - radius, cy + radius + 1):
        for x in range(cx - radius, cx + radius + 1):
            if (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius and shot.pixel(x, y) == WHITE:
                n += 1
    return n


def main():
    with XServer() as x:
        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window("^ATRACTOR$")
        _, _, width, height = x.window_geometry(wid)
        assert (width, height) == (800, 600), (width, height)
        x.settle(0.5)
        before = x.screenshot(wid)
        colours = before.colours()
        assert colours <= {WHITE, BLACK}, sorted(colours)[:8]
        assert before.count(WHITE) > 2000, f"only {before.count(WHITE)} white pixels"

        # Hold the left button: the balls within 100 pixels gather into a disc around it;
        # the balls farther out stay where they were.
        x.press(wid, *CENTRE)
        x.settle(2.0)
        after = x.screenshot(wid)
        after.save_png(os.path.join(OUT, "attractor.png"))
        near_before, near_after = white_near(before, CENTRE, 40), white_near(after, CENTRE, 40)
        print(f"white pixels within 40 px of the pointer: {near_before} -> {near_after}")
        assert near_after >= near_before + 100, (near_before, near_after)
        far_before = before.count(WHITE) - white_near(before, CENTRE, 130)
        far_after = after.count(WHITE) - white_near(after, CENTRE, 130)
        print(f"white pixels beyond 130 px: {far_before} -> {far_after}")
        assert abs(far_after - far_before) <= 40, (far_before, far_after)
        x.release(wid, *CENTRE)

        start = time.monotonic()
        x.key(wid, "space")
        assert wait_exit(proc, 5) == 0
        print(f"key press: ended with 0 after {time.monotonic() - start:.2f} s")

        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window("^ATRACTOR$")
        x.settle(0.3)
        status, requests = close_and_wait(x, wid, proc)
        assert status == 0, status
        print(f"close request: ended with 0 after {requests} request(s)")
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
