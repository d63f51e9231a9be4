"""pursuit in a real window: caption, an empty start, a click that launches a missile which
chases the pointer, and both ways of ending it."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from test_attractor import close_and_wait, wait_exit  # noqa: E402
from xhelpers import XServer  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "pursuit")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
BLACK = (0, 0, 0)
YELLOW = (252, 252, 0)       # the bearing line
LIGHT_BLUE = (180, 216, 252)  # the target marker
LAUNCH, POINTER = (150, 300), (600, 300)


def centroid(shot, colour):
    """Mean position of the pixels of one colour, and how many there are."""
    xs = ys = n = 0
    for y in range(shot.height):
        for x in range(shot.width):
            if shot.pixel(x, y) == colour:
                xs, ys, n = xs + x, ys + y, n + 1
    return (xs / n, ys / n, n) if n else (None, None, 0)


def click(x, wid, where):
    x.press(wid, *where)
    x.settle(0.2)
    x.release(wid, *where)
    x.settle(0.2)


def main():
    with XServer() as x:
        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window("^RACHETE DE URMARIRE$")
        _, _, width, height = x.window_geometry(wid)
        assert (width, height) == (800, 600), (width, height)

        # Nothing flies yet, so nothing is drawn, not even the target marker.
        x.move(wid, *POINTER)
        x.settle(0.5)
        empty = x.screenshot(wid)
        assert empty.colours() == {BLACK}, sorted(empty.colours())[:8]

        # A click launches a missile where it was made; with the pointer moved away, the
        # missile flies over and circles it. The program polls the latest mouse event once a
        # frame, so the button is held for a moment, as a person's click is.
        click(x, wid, LAUNCH)
        x.move(wid, *POINTER)
        x.settle(1.5)
        shot = x.screenshot(wid)
        shot.save_png(os.path.join(OUT, "pursuit.png"))
        mx, my, n = centroid(shot, YELLOW)
        print(f"bearing line: {n} pixels around ({mx}, {my})")
        assert n > 20, "no bearing line"
        assert abs(mx - POINTER[0]) < 120 and abs(my - POINTER[1]) < 120, (mx, my)
        assert shot.pixel(POINTER[0] + 10, POINTER[1]) == LIGHT_BLUE
        greens = {c for c in shot.colours() if c[0] == 0 and c[2] == 0 and c[1] > 0}
        assert len(greens) >= 3, f"no fading trail: {sorted(greens)}"

        start = time.monotonic()
        x.key(wid, "Escape")
        assert wait_exit(proc, 5) == 0
        print(f"key press: ended with 0 after {time.monotonic() - start:.2f} s")

        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window("^RACHETE DE URMARIRE$")
        click(x, wid, LAUNCH)
        status, requests = close_and_wait(x, wid, proc)
        assert status == 0, status
        print(f"close request: ended with 0 after {requests} request(s)")
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
