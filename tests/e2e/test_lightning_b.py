"""lightning_b in a real window: the start view, flying on held keys, turning on a right-button
drag, and Escape held ending it."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "lightning_b")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
GREY, YELLOW, BLACK = (168, 168, 168), (252, 252, 0), (0, 0, 0)


def points(shot, colour):
    """The (x, y) of every pixel of this colour."""
    rgb, w = shot.rgb, shot.width
    key = bytes(colour)
    return [((i // 3) % w, (i // 3) // w) for i in range(0, len(rgb), 3) if rgb[i:i + 3] == key]


def centroid(pts):
    assert pts, "no pixels of the colour"
    return (sum(p[0] for p in pts) / len(pts), sum(p[1] for p in pts) / len(pts))


def terminals(shot):
    """x-extent of the grey spheres (rows near the bolt) and the bolt's mean height."""
    grey = [p for p in points(shot, GREY) if 240 <= p[1] <= 360]
    xs = [p[0] for p in grey]
    return min(xs), max(xs), centroid(points(shot, YELLOW))[1]


def scene_centre(shot):
    """The mean position of everything drawn."""
    return centroid(points(shot, GREY) + points(shot, YELLOW))


def hold(x, wid, key, seconds):
    """Holds a key for a measured time in one xdotool run, then lets the frames settle."""
    x.focus(wid)
    x.xdotool("keydown", key, "sleep", seconds, "keyup", key)
    x.settle(0.4)


def slow_drag(x, wid, x1, y1, x2, y2, button):
    """A drag in small steps with pauses, so that frames see the pointer move with the
    button down (the program reads only the latest mouse event)."""
    x.press(wid, x1, y1, button=button)
    time.sleep(0.05)
    for i in range(1, 9):
        x.move(wid, x1 + (x2 - x1) * i // 8, y1 + (y2 - y1) * i // 8)
        time.sleep(0.05)
    time.sleep(0.2)  # the last step is seen with the button still down
    x.release(wid, x2, y2, button=button)
    x.settle(0.4)


def look(x, wid, name):
    shot = x.screenshot(wid)
    shot.save_png(os.path.join(OUT, f"lightning_b_{name}.png"))
    return shot


def main():
    failures = 0
    with XServer() as x:
        proc = subprocess.Popen([PROGRAM], env=x.env(EASEL_BACKEND="sdl2"))
        try:
            wid = x.wait_window("^FULGER$")
            _, _, width, height = x.window_geometry(wid)
            assert (width, height) == (800, 600), (width, height)
            x.move(wid, 400, 300)
            x.settle(0.8)

            # The start view: terminal spheres near x 559 and 240 on y 300, rods running down
            # past the bottom edge, the yellow bolt between them, nothing else.
            shot = look(x, wid, "start")
            assert shot.colours() <= {GREY, YELLOW, BLACK}, sorted(shot.colours())[:8]
            left, right, bolt_y = terminals(shot)
            assert 225 <= left <= 231 and 569 <= right <= 575, (left, right)
            assert abs(bolt_y - 300) < 4, bolt_y
            assert shot.pixel(559, 595) == GREY and shot.pixel(240, 595) == GREY
            assert shot.pixel(400, 100) == BLACK
            print(f"start: spheres span x {left}..{right}, bolt at y {bolt_y:.1f}")

            # A left-button drag turns nothing; a right-button drag downwards looks down, so
            # the scene rises by about f tan(64/256) = 102 pixels, and dragging up looks back.
            slow_drag(x, wid, 400, 200, 400, 264, button=1)
            _, _, y1 = terminals(look(x, wid, "left_drag"))
            assert abs(y1 - bolt_y) < 4, (bolt_y, y1)
            slow_drag(x, wid, 400, 200, 400, 264, button=3)
            y2 = centroid(points(look(x, wid, "right_drag"), YELLOW))[1]
            assert 60 < y1 - y2 < 140, (y1, y2)
            slow_drag(x, wid, 400, 264, 400, 200, button=3)
            y3 = centroid(points(look(x, wid, "right_drag_back"), YELLOW))[1]
            assert abs(y3 - bolt_y) < 10, (bolt_y, y3)
            print(f"drags: left {bolt_y:.0f} -> {y1:.0f}, right down -> {y2:.0f}, up -> {y3:.0f}")

            # Flying. How long the program sees a key held depends on the machine, so only the
            # directions are checked, with the camera first taken well back from the scene.
            # Down moves back: the terminals close in on the centre; Up moves in again.
            hold(x, wid, "Down", 0.5)
            l1, r1, _ = terminals(look(x, wid, "back"))
            assert l1 > left and r1 < right, (l1, r1)
            hold(x, wid, "Up", 0.1)
            l2, r2, _ = terminals(look(x, wid, "forward"))
            assert l2 < l1 and r2 > r1, (l1, r1, l2, r2)
            print(f"Down then Up: spheres span {l1}..{r1}, then {l2}..{r2}")

            # Right moves the eye to the right (the scene slides left), Left back; "Z" moves it
            # down (the scene rises), "A" up.
            cx0, cy0 = scene_centre(look(x, wid, "before_side"))
            hold(x, wid, "Right", 0.1)
            cx1, _ = scene_centre(look(x, wid, "right"))
            assert cx1 < cx0 - 3, (cx0, cx1)
            hold(x, wid, "Left", 0.1)
            cx2, _ = scene_centre(look(x, wid, "left"))
            assert cx2 > cx1 + 3, (cx1, cx2)
            hold(x, wid, "z", 0.1)
            _, cy1 = scene_centre(look(x, wid, "z"))
            assert cy1 < cy0 - 3, (cy0, cy1)
            hold(x, wid, "a", 0.1)
            _, cy2 = scene_centre(look(x, wid, "a"))
            assert cy2 > cy1 + 3, (cy1, cy2)
            print(f"Right/Left: x {cx0:.0f} -> {cx1:.0f} -> {cx2:.0f}; "
                  f"Z/A: y {cy0:.0f} -> {cy1:.0f} -> {cy2:.0f}")

            # Escape held ends the program with status 0.
            x.keydown(wid, "Escape")
            code = proc.wait(timeout=5)
            x.xdotool("keyup", "Escape")
            assert code == 0, code
            print("Escape held: ended with 0")
        except Exception:
            failures += 1
            raise
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
    print(f"1 passed, {failures} failed")


if __name__ == "__main__":
    main()
