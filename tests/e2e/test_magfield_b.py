"""magfield_b in a real window: caption, white "+" and "-" pole labels over yellow-shaded tracer
strokes, a pole pulled to the pointer and following it, space, and the keys that do and do not
end it (the close box does not)."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "magfield_b")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
WHITE = (252, 252, 252)
BLACK = (0, 0, 0)


def wait_exit(proc, seconds):
    try:
        return proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        raise AssertionError(f"still running {seconds} s after being asked to end")


def still_running(proc, seconds):
    try:
        proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        return True
    return False


def white_in(shot, x0, y0, x1, y1):
    return sum(1 for y in range(y0, y1 + 1) for x in range(x0, x1 + 1) if shot.pixel(x, y) == WHITE)


def yellowish(colour):
    """A stroke shade: red and green alike, little blue (the shades come from EaselRgb(v, v, 0))."""
    r, g, b = colour
    return colour not in (WHITE, BLACK) and abs(r - g) <= 64 and b <= max(r, g)


def main():
    with XServer() as x:
        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window("^CAMP MAGNETIC$")
        _, _, width, height = x.window_geometry(wid)
        assert (width, height) == (800, 600), (width, height)
        x.settle(1.5)
        shot = x.screenshot(wid)
        shot.save_png(os.path.join(OUT, "magfield_b.png"))
        white = shot.count(WHITE)
        shades = sum(shot.count(c) for c in shot.colours() if yellowish(c))
        others = [c for c in shot.colours() if c not in (WHITE, BLACK) and not yellowish(c)]
        print(f"white label pixels {white}, stroke pixels {shades}, other colours {others[:6]}")
        assert white >= 15 * 6, white  # fifteen "+" or "-" labels
        assert shades > 3000, shades

        # Any button pulls the nearest pole to the pointer; its label (bottom 10 pixels below the
        # pole) follows while the button is held.
        for point in ((400, 300), (200, 450), (650, 120)):
            if point == (400, 300):
                x.press(wid, *point)
            else:
                x.move(wid, *point)
            x.settle(0.4)
            held = x.screenshot(wid)
            px, py = point
            near = white_in(held, px - 10, py - 16, px + 10, py + 10)
            print(f"pointer at {point}: {near} white pixels at the label")
            assert near >= 6, (point, near)
        held.save_png(os.path.join(OUT, "magfield_b_drag.png"))
        x.release(wid, 650, 120)

        # Space puts every tracer on a +1 pole centre, where that pole's own term is left out:
        # the program goes on drawing.
        x.key(wid, "space")
        x.settle(0.5)
        after = x.screenshot(wid)
        after.save_png(os.path.join(OUT, "magfield_b_space.png"))
        assert sum(after.count(c) for c in after.colours() if yellowish(c)) > 1000

        # Neither an ordinary key, an arrow key nor the close box ends it; Escape does.
        x.key(wid, "a", "Up")
        x.close_window(wid)
        assert still_running(proc, 1.0), "ended without Escape"
        start = time.monotonic()
        x.key(wid, "Escape")
        assert wait_exit(proc, 5) == 0
        print(f"Escape: ended with 0 after {time.monotonic() - start:.2f} s; "
              "a letter, an arrow and the close box did not end it")
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
