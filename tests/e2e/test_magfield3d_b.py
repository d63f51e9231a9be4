"""magfield3d_b in a real window: poles, tracers and hatching on the screen, turning on a
left-button drag only, flying on held keys, and Escape held ending it."""

import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer, look_and_save, points_of, running  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "magfield3d_b")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
RED, BLUE, DARK_GREY, BLACK = (252, 0, 0), (0, 0, 252), (84, 84, 84), (0, 0, 0)


def poles(shot):
    """Centroid and x-extent of the pole spheres."""
    pts = points_of(shot, (RED, BLUE))
    assert pts, "no pole in view"
    xs = [p[0] for p in pts]
    return (sum(xs) / len(pts), sum(p[1] for p in pts) / len(pts), max(xs) - min(xs))


def hatch_top(shot):
    """The highest row of the hatching."""
    pts = points_of(shot, (DARK_GREY,))
    assert pts, "no hatching in view"
    return min(p[1] for p in pts)


def look(x, wid, name):
    return look_and_save(x, wid, os.path.join(OUT, f"magfield3d_b_{name}.png"))


def main():
    with XServer() as x, running([PROGRAM], x.env(EASEL_BACKEND="sdl2")) as proc:
        wid = x.wait_centred("^CAMP MAGNETIC IN 3D$", (800, 600), settle=1.0)

        # The start view: pole spheres, the hatched face z = -20 across the lower part,
        # and thousands of tracer strokes in their many greens and reds.
        shot = look(x, wid, "start")
        cx, cy, spread = poles(shot)
        top = hatch_top(shot)
        assert 360 <= top <= 400, top
        hatch = len(points_of(shot, (DARK_GREY,)))
        assert hatch > 3000, hatch
        tracer_colours = shot.colours() - {RED, BLUE, DARK_GREY, BLACK}
        tracer_pixels = shot.width * shot.height - len(points_of(shot, (RED, BLUE, DARK_GREY,
                                                                    BLACK)))
        assert len(tracer_colours) >= 8 and tracer_pixels > 3000, (len(tracer_colours),
                                                                   tracer_pixels)
        print(f"start: poles around ({cx:.0f}, {cy:.0f}), hatching from y {top} "
              f"({hatch} px), {tracer_pixels} tracer px in {len(tracer_colours)} colours")

        # Only a drag with the left button alone turns: dragging down looks up, so the
        # hatching drops by about f tan(64/256) = 102 pixels; dragging up looks back.
        for name, button, mods in (("right", 3, ()), ("shift_left", 1, ("shift",))):
            x.slow_drag(wid, 400, 200, 400, 264, button, mods)
            moved = hatch_top(look(x, wid, f"{name}_drag"))
            assert abs(moved - top) <= 1, (name, top, moved)
        x.slow_drag(wid, 400, 200, 400, 264, 1)
        down = hatch_top(look(x, wid, "left_drag"))
        assert 60 < down - top < 140, (top, down)
        x.slow_drag(wid, 400, 264, 400, 200, 1)
        back = hatch_top(look(x, wid, "left_drag_back"))
        assert abs(back - top) <= 10, (top, back)
        print(f"drags: right and Shift+left keep y {top}; left down {down}, up {back}")

        # Flying: how far a held key takes the camera depends on the machine, so only
        # directions are checked, with the camera first taken back.
        x.hold(wid, "Down", 0.4, settle=0.5)
        _, _, s1 = poles(look(x, wid, "back"))
        assert s1 < spread, (spread, s1)

        def spread_wider():
            cx, cy, s = poles(look(x, wid, "forward"))
            return (cx, cy, s) if s > s1 else None

        cx0, cy0, s2 = x.hold_until(wid, "Up", 0.1, spread_wider)
        print(f"Down then Up: poles spread {spread} -> {s1} -> {s2} px")

        def centre_moved(name, axis, sign, ref):
            def done():
                now = poles(look(x, wid, name))[axis]
                return now if sign * (now - ref) > 3 else None
            return done

        cx1 = x.hold_until(wid, "Right", 0.15, centre_moved("right", 0, -1, cx0))
        cx2 = x.hold_until(wid, "Left", 0.15, centre_moved("left", 0, +1, cx1))
        _, cy0, _ = poles(look(x, wid, "before_z"))
        cy1 = x.hold_until(wid, "z", 0.15, centre_moved("z", 1, -1, cy0))
        cy2 = x.hold_until(wid, "a", 0.15, centre_moved("a", 1, +1, cy1))
        print(f"Right/Left: x {cx0:.0f} -> {cx1:.0f} -> {cx2:.0f}; "
              f"Z/A: y {cy0:.0f} -> {cy1:.0f} -> {cy2:.0f}")

        x.end_with_escape(proc, wid)  # status 0
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
