"""magfield3d_a in a real window through OpenGL: red and blue pole spheres, coloured tracer
segments and the grey floor hatching; the left-button orbit, the arrow keys turning and zooming,
and Escape held ending it.

The poles are random (the program seeds from the clock), so the checks rest on what every run
shares: the floor lies below the eye, at least one pole is positive, tracers crowd the cube."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer, look_and_save, running  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "magfield3d_a")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
RED, BLUE, GREY, BLACK = (255, 0, 0), (0, 0, 255), (128, 128, 128), (0, 0, 0)


def is_tracer(c):
    """Tracer colours: blue 0.25, green from 0.5 to 0.81, red from 0.25 up (clamped at 1)."""
    return c[2] == 64 and 127 <= c[1] <= 207 and c[0] >= 63


def census(shot):
    """Pixel counts and where the floor and the poles are."""
    rgb, w = shot.rgb, shot.width
    grey, poles, tracers, odd = [], [], 0, set()
    for i in range(0, len(rgb), 3):
        c = tuple(rgb[i:i + 3])
        if c == BLACK:
            continue
        p = ((i // 3) % w, (i // 3) // w)
        if c == GREY:
            grey.append(p)
        elif c in (RED, BLUE):
            poles.append((p, c))
        elif is_tracer(c):
            tracers += 1
        else:
            odd.add(c)
    return grey, poles, tracers, odd


def floor_box(grey):
    xs, ys = [p[0] for p in grey], [p[1] for p in grey]
    return min(xs), min(ys), max(xs), max(ys)


def overlap(a, b):
    """How much two sets of pole pixels coincide (intersection over union)."""
    sa, sb = {p for p, _ in a}, {p for p, _ in b}
    return len(sa & sb) / max(1, len(sa | sb))


def look(x, wid, name):
    return census(look_and_save(x, wid, os.path.join(OUT, f"magfield3d_a_{name}.png")))


def main():
    with XServer() as x, running([PROGRAM], x.env(EASEL_BACKEND="sdl2")) as proc:
        wid = x.wait_centred("^CAMP MAGNETIC IN 3D$", (800, 600), settle=1.0)

        # The eye at (0, 0, 50): the floor (y = -20) fills the lower part of the picture,
        # pole spheres and thousands of tracer segments stand above it.
        grey, poles, tracers, odd = look(x, wid, "start")
        assert not odd, sorted(odd)[:8]
        box = floor_box(grey)
        assert len(grey) > 3000 and box[1] > 300, (len(grey), box)
        reds = sum(1 for p in poles if p[1] == RED)
        assert reds > 20 and tracers > 2000, (reds, tracers)
        print(f"start: floor {len(grey)} pixels in {box}, {reds} red and "
              f"{len(poles) - reds} blue pole pixels, {tracers} tracer pixels")

        # The view stays still without input (the poles do not move).
        time.sleep(0.5)
        _, again, _, _ = look(x, wid, "still")
        # (tracers crossing the discs hide a few of their pixels)
        assert overlap(poles, again) > 0.7, overlap(poles, again)

        # A left drag 40 pixels down lifts the eye 40 degrees: looking down on the floor,
        # its far edge rises up the picture. Dragging back lowers it again.
        x.slow_drag(wid, 400, 200, 400, 240)
        grey, _, _, _ = look(x, wid, "orbit")
        raised = floor_box(grey)
        assert raised[1] < box[1] - 50, (box, raised)
        x.slow_drag(wid, 400, 240, 400, 200)
        grey, _, _, _ = look(x, wid, "orbit_back")
        back = floor_box(grey)
        assert abs(back[1] - box[1]) < 15, (box, back)
        print(f"drag: floor top {box[1]} -> {raised[1]} -> {back[1]}")

        # Right turns the camera: the poles swing away from where they were and a corner
        # of the floor reaches up; Left turns it back, the corner coming down again. Down
        # moves the camera away (the floor's far edge, at depth d + 20, rises towards the
        # middle row), Up nearer. How many frames see a held key depends on the machine's
        # load, so keys are held in bursts until the change shows, and only its direction
        # is checked.
        grey, poles, _, _ = look(x, wid, "before_keys")
        top0 = floor_box(grey)[1]

        def turned_away():
            grey, turned, _, _ = look(x, wid, "right")
            top = floor_box(grey)[1]
            return top if overlap(poles, turned) < 0.3 and top < top0 - 5 else None

        def floor_top(name, sign, ref, by):
            def done():
                grey, _, _, _ = look(x, wid, name)
                top = floor_box(grey)[1]
                return top if sign * (top - ref) > by else None
            return done

        top1 = x.hold_until(wid, "Right", 0.2, turned_away)
        top2 = x.hold_until(wid, "Left", 0.2, floor_top("left", +1, top1, 0))
        top3 = x.hold_until(wid, "Down", 0.4, floor_top("down", -1, top2, 5))
        top4 = x.hold_until(wid, "Up", 0.4, floor_top("up", +1, top3, 5))
        print(f"keys: floor top {top0} -> Right {top1} -> Left {top2} -> Down {top3} -> "
              f"Up {top4}")

        x.end_with_escape(proc, wid)  # status 0
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
