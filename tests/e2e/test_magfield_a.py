"""magfield_a in a real window: caption, grey field strokes, white "1" and red "-1" poles, a pole
dragged with the left button, and both ways of ending it."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "magfield_a")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
GREY = (168, 168, 168)
WHITE = (252, 252, 252)
RED = (252, 0, 0)
BLACK = (0, 0, 0)
TARGET = (150, 150)


def wait_exit(proc, seconds):
    try:
        return proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        raise AssertionError(f"still running {seconds} s after being asked to end")


def label_columns(shot, centre, colour):
    """The columns, relative to the centre, that hold label pixels of this colour inside the
    disc (the outline itself lies 22 pixels out)."""
    cx, cy = centre
    columns = set()
    for y in range(cy - 17, cy + 17):
        for x in range(cx - 17, cx + 17):
            if (x - cx) ** 2 + (y - cy) ** 2 < 18 * 18 and shot.pixel(x, y) == colour:
                columns.add(x - cx)
    return columns


def main():
    with XServer() as x:
        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window("^CAMP MAGNETIC$")
        _, _, width, height = x.window_geometry(wid)
        assert (width, height) == (800, 600), (width, height)
        x.settle(0.5)
        shot = x.screenshot(wid)
        shot.save_png(os.path.join(OUT, "magfield_a.png"))
        colours = shot.colours()
        assert colours <= {GREY, WHITE, RED, BLACK}, sorted(colours)[:8]
        counts = {name: shot.count(c) for name, c in (("grey", GREY), ("white", WHITE), ("red", RED))}
        print(f"pixels: {counts}")
        assert counts["grey"] > 5000 and counts["white"] > 300 and counts["red"] > 300, counts

        # A press in the middle takes the nearest pole; it follows the pointer to the target and
        # stays there while the button is held.
        x.press(wid, 400, 300)
        x.settle(0.3)
        x.move(wid, *TARGET)
        x.settle(1.0)
        held = x.screenshot(wid)
        held.save_png(os.path.join(OUT, "magfield_a_drag.png"))
        cx, cy = TARGET
        rim = [held.pixel(cx + dx, cy + dy) for dx, dy in ((22, 0), (-22, 0), (0, 22), (0, -22))]
        # Its outline, in one colour (another disc drawn to it may touch it at one point).
        colour = max((WHITE, RED), key=rim.count)
        assert rim.count(colour) >= 3, rim
        # Its label, in its colour, inside the disc: "1" is a narrow digit, "-1" adds a minus
        # sign to its left.
        columns = label_columns(held, TARGET, colour)
        assert columns, "no label inside the dragged disc"
        span = max(columns) - min(columns) + 1
        print(f"dragged pole: {'white' if colour == WHITE else 'red'}, label {span} pixels wide")
        if colour == WHITE:
            assert span <= 12, span
        else:
            assert span >= 14, span
        x.release(wid, *TARGET)

        start = time.monotonic()
        x.key(wid, "a")
        assert wait_exit(proc, 5) == 0
        print(f"key press: ended with 0 after {time.monotonic() - start:.2f} s")

        # The close box ends it too.
        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window("^CAMP MAGNETIC$")
        x.settle(0.3)
        start = time.monotonic()
        x.close_window(wid)
        assert wait_exit(proc, 5) == 0
        print(f"close request: ended with 0 after {time.monotonic() - start:.2f} s")
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
