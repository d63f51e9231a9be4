"""attractor_path in a real window: caption, walls, particles and the counter label, walls
drawn with the left button, particles dropped with the right, the attractor moved with "a",
keys that do not end it, and Escape that does."""

import math
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "attractor_path")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
CAPTION = "^CALEA CEA MAI SCURTA CATRE ATRACTOR$"
RED = (252, 0, 0)
WHITE = (252, 252, 252)
LIGHT_BLUE = (180, 216, 252)
MAGENTA = (252, 0, 252)
BLACK = (0, 0, 0)


def wait_exit(proc, seconds):
    try:
        return proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        raise AssertionError(f"still running {seconds} s after being asked to end")


def count_in(shot, colour, x0, y0, x1, y1):
    """Pixels of this colour in the box from (x0, y0) to (x1, y1), clipped to the picture."""
    n = 0
    for y in range(max(0, y0), min(shot.height - 1, y1) + 1):
        for x in range(max(0, x0), min(shot.width - 1, x1) + 1):
            n += shot.pixel(x, y) == colour
    return n


def ring_pixels(shot, colour, cx, cy, radius):
    """Pixels of this colour within one pixel of the circle of this radius."""
    n = 0
    for y in range(cy - radius - 2, cy + radius + 3):
        for x in range(cx - radius - 2, cx + radius + 3):
            if 0 <= x < shot.width and 0 <= y < shot.height:
                if abs(math.hypot(x - cx, y - cy) - radius) <= 1.5 and shot.pixel(x, y) == colour:
                    n += 1
    return n


def save(shot, name):
    shot.save_png(os.path.join(OUT, f"attractor_path-{name}.png"))


def main():
    with XServer() as x:
        # The pointer in a screen corner, outside the window-to-be: no mouse event reaches it.
        x.xdotool("mousemove", 1279, 1023)
        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window(CAPTION)
        _, _, width, height = x.window_geometry(wid)
        assert (width, height) == (800, 600), (width, height)
        x.settle(0.5)
        start = x.screenshot(wid)
        save(start, "start")
        colours = start.colours()
        assert colours <= {RED, WHITE, LIGHT_BLUE, MAGENTA, BLACK}, sorted(colours)[:10]
        # Edge walls: red rings of radius 15 along all four edges.
        bands = {
            "top": count_in(start, RED, 0, 0, 799, 15),
            "bottom": count_in(start, RED, 0, 584, 799, 599),
            "left": count_in(start, RED, 0, 0, 15, 599),
            "right": count_in(start, RED, 784, 0, 799, 599),
        }
        print("red pixels along the edges:", bands)
        assert min(bands.values()) > 400, bands
        # The particles clustered around the attractor in the middle.
        middle = count_in(start, WHITE, 250, 150, 550, 450)
        print(f"white pixels around the attractor: {middle}")
        assert middle > 400, middle
        # The label "  Ziduri=237 ; Particule=10" at the pointer, (0, 0) before any mouse event.
        corner = count_in(start, MAGENTA, 0, 0, 260, 20)
        print(f"magenta label pixels in the top-left corner: {corner}")
        assert corner > 80, corner

        # The label follows the pointer.
        x.move(wid, 560, 140)
        x.settle(0.3)
        moved = x.screenshot(wid)
        near = count_in(moved, MAGENTA, 560, 140, 799, 160)
        assert near > 80, near
        assert count_in(moved, MAGENTA, 0, 0, 260, 20) == 0

        # A left-button stroke leaves drawn walls, red rings of radius 5, along it.
        before = count_in(moved, RED, 480, 430, 720, 470)
        x.press(wid, 500, 450, button=1)
        for step in range(1, 21):
            x.move(wid, 500 + 10 * step, 450)
        x.settle(0.3)
        stroke = x.screenshot(wid)
        save(stroke, "stroke")
        x.release(wid, 700, 450, button=1)
        after = count_in(stroke, RED, 480, 430, 720, 470)
        print(f"red pixels along the stroke: {before} -> {after}")
        assert after >= before + 150, (before, after)

        # The right button held drops particles (white rings of radius 25) until there are 150.
        white_before = stroke.count(WHITE)
        x.press(wid, 150, 450, button=3)
        x.settle(0.5)
        x.release(wid, 150, 450, button=3)
        x.settle(0.3)
        crowd = x.screenshot(wid)
        print(f"white pixels: {white_before} -> {crowd.count(WHITE)}")
        assert crowd.count(WHITE) > white_before + 3000

        # "a" moves the attractor to the pointer: its light blue ring goes with it.
        x.move(wid, 640, 250)
        x.key(wid, "a", delay_ms=0)
        moved_ring = x.screenshot(wid)
        save(moved_ring, "moved")
        there = ring_pixels(moved_ring, LIGHT_BLUE, 640, 250, 25)
        print(f"light blue ring pixels at the new place: {there}")
        assert there > 40, there
        assert ring_pixels(moved_ring, LIGHT_BLUE, 400, 300, 25) < 10
        # "A" does nothing.
        x.move(wid, 150, 150)
        x.key(wid, "shift+a")
        x.settle(0.3)
        still = x.screenshot(wid)
        assert ring_pixels(still, LIGHT_BLUE, 150, 150, 25) < 10
        assert ring_pixels(still, LIGHT_BLUE, 640, 250, 25) > 20

        # Other keys and the close box leave it running; Escape ends it.
        x.key(wid, "space", "Up", "b")
        x.close_window(wid)
        x.settle(0.5)
        assert proc.poll() is None, "ended on a key other than Escape"
        started = time.monotonic()
        x.key(wid, "Escape")
        assert wait_exit(proc, 5) == 0
        print(f"Escape: ended with 0 after {time.monotonic() - started:.2f} s")
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
