"""magnets in a real window: caption, "N" and "S" labels over a flow of many-coloured strokes, the
north pole moved with the left button, the south pole with the right button and with Shift and
the left button, and the keys that do and do not end it (the close box does not)."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "magnets")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
WHITE = (252, 252, 252)
BLACK = (0, 0, 0)
NORTH = (150, 300)
SOUTH = (650, 300)
SHIFTED_SOUTH = (400, 520)


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


def label_pixels(shot, pole):
    """White pixels where a pole's label stands: centred on x - 3, bottom on y - 5."""
    px, py = pole
    return sum(1 for y in range(py - 21, py - 4) for x in range(px - 11, px + 6)
               if shot.pixel(x, y) == WHITE)


def clearest_label(x, wid, pole, shots=4):
    """The label's white pixels in the clearest of a few pictures: strokes drawn after the
    labels cover parts of them from frame to frame."""
    best = 0
    for _ in range(shots):
        best = max(best, label_pixels(x.screenshot(wid), pole))
        x.settle(0.1)
    return best


def press_and_release(x, wid, point, button):
    """Holds the button long enough for a few frames to see it."""
    x.press(wid, *point, button=button)
    x.settle(0.3)
    x.release(wid, *point, button=button)
    x.settle(0.3)


def main():
    with XServer() as x:
        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window("^FUNCTIONAREA MAGNETILOR$")
        _, _, width, height = x.window_geometry(wid)
        assert (width, height) == (800, 600), (width, height)
        x.settle(1.0)
        shot = x.screenshot(wid)
        shot.save_png(os.path.join(OUT, "magnets.png"))
        colours = shot.colours() - {BLACK}
        default = clearest_label(x, wid, (599, 299))
        print(f"{len(colours)} colours; white pixels at the default magnet {default}")
        assert len(colours) > 100, len(colours)  # particle i has palette entry (i mod 255) + 1
        assert default > 10, default

        # The left button moves the north pole, the right button the south pole; each stays
        # where it was put.
        press_and_release(x, wid, NORTH, 1)
        press_and_release(x, wid, SOUTH, 3)
        x.settle(2.0)
        moved = x.screenshot(wid)
        moved.save_png(os.path.join(OUT, "magnets_moved.png"))
        north, south = clearest_label(x, wid, NORTH), clearest_label(x, wid, SOUTH)
        print(f"label pixels: N at {NORTH} {north}, S at {SOUTH} {south}, "
              f"old place {label_pixels(moved, (599, 299))}")
        assert north > 10 and south > 10, (north, south)
        # Particles now stream across the window from one pole to the other.
        between = sum(1 for x_ in range(250, 550) for y in range(250, 350)
                      if moved.pixel(x_, y) != BLACK)
        assert between > 100, between

        # Shift with the left button moves the south pole, not the north pole. Shift goes down
        # well before the button and comes up well after it: the window reads the modifiers
        # when it handles each mouse event, not when the event happened.
        x.keydown(wid, "shift")
        x.settle(0.2)
        x.press(wid, *SHIFTED_SOUTH)
        x.settle(0.3)
        x.keyup(wid, "shift")
        x.settle(0.2)
        x.release(wid, *SHIFTED_SOUTH)
        x.settle(0.3)
        x.screenshot(wid).save_png(os.path.join(OUT, "magnets_shift.png"))
        south, north = clearest_label(x, wid, SHIFTED_SOUTH), clearest_label(x, wid, NORTH)
        print(f"after Shift+left: at {SHIFTED_SOUTH} {south}, at {NORTH} {north}")
        assert south > 10 and north > 10, (south, north)

        # Neither the close box, a letter nor an arrow key ends it; Escape does.
        x.close_window(wid)
        x.key(wid, "q", "Left")
        assert still_running(proc, 1.0), "ended without Escape"
        start = time.monotonic()
        x.key(wid, "Escape")
        assert wait_exit(proc, 5) == 0
        print(f"Escape: ended with 0 after {time.monotonic() - start:.2f} s; "
              "the close box, a letter and an arrow did not end it")
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
