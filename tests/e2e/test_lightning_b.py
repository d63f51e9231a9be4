"""lightning_b in a real window: the start view, flying on held keys, turning on a right-button
drag, and Escape held ending it."""

import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer, centroid, look_and_save, points_of, running  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "lightning_b")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
GREY, YELLOW, BLACK = (168, 168, 168), (252, 252, 0), (0, 0, 0)


def terminals(shot):
    """x-extent of the grey spheres (rows near the bolt) and the bolt's mean height."""
    grey = [p for p in points_of(shot, (GREY,)) if 240 <= p[1] <= 360]
    xs = [p[0] for p in grey]
    return min(xs), max(xs), centroid(points_of(shot, (YELLOW,)))[1]


def scene_centre(shot):
    """The mean position of everything drawn."""
    return centroid(points_of(shot, (GREY,)) + points_of(shot, (YELLOW,)))


def look(x, wid, name):
    return look_and_save(x, wid, os.path.join(OUT, f"lightning_b_{name}.png"))


def main():
    with XServer() as x, running([PROGRAM], x.env(EASEL_BACKEND="sdl2")) as proc:
        wid = x.wait_centred("^FULGER$", (800, 600), settle=0.8)

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
        x.slow_drag(wid, 400, 200, 400, 264, button=1)
        _, _, y1 = terminals(look(x, wid, "left_drag"))
        assert abs(y1 - bolt_y) < 4, (bolt_y, y1)
        x.slow_drag(wid, 400, 200, 400, 264, button=3)
        y2 = centroid(points_of(look(x, wid, "right_drag"), (YELLOW,)))[1]
        assert 60 < y1 - y2 < 140, (y1, y2)
        x.slow_drag(wid, 400, 264, 400, 200, button=3)
        y3 = centroid(points_of(look(x, wid, "right_drag_back"), (YELLOW,)))[1]
        assert abs(y3 - bolt_y) < 10, (bolt_y, y3)
        print(f"drags: left {bolt_y:.0f} -> {y1:.0f}, right down -> {y2:.0f}, up -> {y3:.0f}")

        # Flying. The frames are not paced, so even the shortest key press carries the
        # camera far: keys are tapped (the program runs a few milliseconds with the key
        # held) until the picture changes, and only directions are checked. Down moves
        # back (the terminals close in on the centre), held in bursts until the scene is a
        # few pixels wide, so that even a long tap sideways keeps it in view; Up, held in
        # short bursts, moves in again.
        def fly(key, done, tries=10):
            return x.hold_until(wid, key, 0.002, done, tries, proc=proc)

        def spread(name, narrower, l_ref, r_ref, at_most=800):
            def done():
                l, r, _ = terminals(look(x, wid, name))
                if narrower and l > l_ref and r < r_ref and r - l <= at_most:
                    return l, r
                if not narrower and l < l_ref and r > r_ref:
                    return l, r
                return None
            return done

        l1, r1 = x.hold_until(wid, "Down", 0.1, spread("back", True, left, right, 10), 30)
        l2, r2 = x.hold_until(wid, "Up", 0.05, spread("forward", False, l1, r1), 20)
        print(f"Down then Up: spheres span {left}..{right}, then {l1}..{r1}, "
              f"then {l2}..{r2}")

        # Right moves the eye to the right (the scene slides left), Left back; "Z" moves it
        # down (the scene rises), "A" up.
        def centre_moved(name, axis, sign, ref):
            def done():
                now = scene_centre(look(x, wid, name))[axis]
                return now if sign * (now - ref) > 2 else None
            return done

        cx0, cy0 = scene_centre(look(x, wid, "before_side"))
        cx1 = fly("Right", centre_moved("right", 0, -1, cx0), 30)
        cx2 = fly("Left", centre_moved("left", 0, +1, cx1), 30)
        cy1 = fly("z", centre_moved("z", 1, -1, cy0), 30)
        cy2 = fly("a", centre_moved("a", 1, +1, cy1), 30)
        print(f"Right/Left: x {cx0:.0f} -> {cx1:.0f} -> {cx2:.0f}; "
              f"Z/A: y {cy0:.0f} -> {cy1:.0f} -> {cy2:.0f}")

        x.end_with_escape(proc, wid)  # status 0
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
