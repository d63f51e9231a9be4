"""binarystars in a real 640 x 480 window: caption, the two yellow stars drawn as thick rings and
moving, coloured planets around them, and both ways of ending it."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "binarystars")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
YELLOW, BLACK = (252, 252, 0), (0, 0, 0)
CAPTION = "^FIZICA SISTEMELOR SOLARE BINARE$"
# Default palette entries 1..12, the planets' colours.
PLANET_COLOURS = {(0, 0, 168), (0, 168, 0), (0, 168, 168), (168, 0, 0), (168, 0, 168),
                  (168, 84, 0), (168, 168, 168), (84, 84, 84), (84, 84, 252), (84, 252, 84),
                  (84, 252, 252), (252, 84, 84)}


def wait_exit(proc, seconds):
    try:
        return proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        raise AssertionError(f"still running {seconds} s after being asked to end")


def yellow_centre(shot):
    """Mean position of the yellow (star) pixels and how many there are."""
    xs = ys = n = 0
    rgb, w = shot.rgb, shot.width
    for i in range(0, len(rgb), 3):
        if rgb[i] == 252 and rgb[i + 1] == 252 and rgb[i + 2] == 0:
            xs += (i // 3) % w
            ys += (i // 3) // w
            n += 1
    return (xs / n if n else None, ys / n if n else None), n


def main():
    with XServer() as x:
        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window(CAPTION)
        _, _, width, height = x.window_geometry(wid)
        assert (width, height) == (640, 480), (width, height)
        x.settle(0.3)
        first = x.screenshot(wid)
        (cx, cy), stars = yellow_centre(first)
        # Two rings of radius 8 drawn 3 pixels wide: about 2 x 3 x 2 pi x 8 pixels.
        assert 200 <= stars <= 400, f"{stars} yellow pixels"
        # The pair turns about its centre of mass, (320, 220).
        assert abs(cx - 320) < 15 and abs(cy - 220) < 15, (cx, cy)
        colours = first.colours()
        assert colours <= PLANET_COLOURS | {YELLOW, BLACK}, sorted(colours)
        x.settle(1.0)
        later = x.screenshot(wid)
        later.save_png(os.path.join(OUT, "binarystars.png"))
        moved = sum(1 for i in range(0, len(first.rgb), 3)
                    if first.rgb[i:i + 3] != later.rgb[i:i + 3])
        assert moved > 100, f"only {moved} pixels changed in a second"
        print(f"bodies: {stars} star pixels around ({cx:.0f}, {cy:.0f}), {moved} pixels moved")

        start = time.monotonic()
        x.key(wid, "q")
        assert wait_exit(proc, 5) == 0
        print(f"key press: ended with 0 after {time.monotonic() - start:.2f} s")

        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window(CAPTION)
        x.settle(0.3)
        start = time.monotonic()
        x.close_window(wid)
        assert wait_exit(proc, 5) == 0
        print(f"close request: ended with 0 after {time.monotonic() - start:.2f} s")
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
