"""troops in a real window: caption, a drag that selects the crowd, a right click that sends it
into formation around the pointer, and both ways of ending it."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "troops")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
YELLOW, RED, GREEN = (252, 252, 0), (252, 0, 0), (0, 112, 0)
CAPTION = "^MISCARI DE TRUPE$"


def wait_exit(proc, seconds):
    try:
        return proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        raise AssertionError(f"still running {seconds} s after being asked to end")


def box_of(shot, colour):
    """(left, top, right, bottom) of the pixels of one colour, or None."""
    xs, ys = [], []
    rgb, w = shot.rgb, shot.width
    for i in range(0, len(rgb), 3):
        if tuple(rgb[i:i + 3]) == colour:
            xs.append((i // 3) % w)
            ys.append((i // 3) // w)
    return (min(xs), min(ys), max(xs), max(ys)) if xs else None


def formation_box(mx, my, count=256, spacing=18):
    """The places of an order at (mx, my): rows of side + 1, centred across the pointer."""
    side = round(count ** 0.5)
    places = [(mx - 0.5 * spacing * side + spacing * (k % (side + 1)),
               my - 0.5 * spacing * side + spacing * (k // (side + 1))) for k in range(count)]
    return (min(p[0] for p in places), min(p[1] for p in places),
            max(p[0] for p in places), max(p[1] for p in places))


def main():
    with XServer() as x:
        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        wid = x.wait_window(CAPTION)
        _, _, width, height = x.window_geometry(wid)
        assert (width, height) == (800, 600), (width, height)
        x.settle(0.5)
        shot = x.screenshot(wid)
        soldiers = box_of(shot, YELLOW)
        assert soldiers and soldiers[0] >= 185 and soldiers[2] <= 615, soldiers
        assert shot.count(RED) == 0, "nothing is selected at the start"
        assert shot.count(GREEN) > 0, "every soldier shows its line to its target"

        # Drag a rectangle around the whole crowd with the left button. The program polls the
        # latest mouse event once a frame: the press is held long enough for a frame to see it.
        x.press(wid, 100, 40, button=1)
        x.settle(0.2)
        x.move(wid, 400, 300)
        x.move(wid, 700, 570)
        x.settle(0.3)
        shot = x.screenshot(wid)
        if not (shot.pixel(400, 40) == YELLOW and shot.pixel(100, 300) == YELLOW):
            shot.save_png(os.path.join(OUT, "troops_drag.png"))
            raise AssertionError("no selection rectangle while the button is held: "
                                 f"{shot.pixel(400, 40)} {shot.pixel(100, 300)}")
        x.release(wid, 700, 570, button=1)
        x.settle(0.3)
        shot = x.screenshot(wid)
        rings = shot.count(RED)
        assert rings > 256 * 20, f"only {rings} red ring pixels after selecting everyone"
        print(f"drag: {rings} red ring pixels, the crowd is selected")

        # Hold the right button at (400, 300): the selection walks into formation there.
        x.press(wid, 400, 300, button=3)
        x.settle(0.2)
        x.release(wid, 400, 300, button=3)
        left, top, right, bottom = formation_box(400, 300)
        deadline = time.monotonic() + 20
        while True:
            shot = x.screenshot(wid)
            red = box_of(shot, RED)
            # Rings of radius 6 around places within a pixel of each soldier's target.
            inside = red and red[0] >= left - 8 and red[1] >= top - 8 and \
                red[2] <= right + 8 and red[3] <= bottom + 8
            if inside or time.monotonic() > deadline:
                break
            time.sleep(0.3)
        shot.save_png(os.path.join(OUT, "troops.png"))
        assert inside, f"red rings span {red}, formation places span {(left, top, right, bottom)}"
        assert shot.count(RED) > 256 * 20, "everyone arrived, still selected"
        print(f"order: the crowd stands in formation within {red}")

        start = time.monotonic()
        x.key(wid, "Escape")
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
