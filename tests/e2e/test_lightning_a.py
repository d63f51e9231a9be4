"""lightning_a in a real window through OpenGL: red terminals on grey rods joined by a yellow
bolt, the view turning by itself, the left-button orbit, the zoom keys and Escape held ending it.

The view turns all the time, so each look waits until the two spheres stand well apart and reads
the camera distance back from their places: with the eye at distance d and yaw Y on the
terminals' plane, the spheres land at f * 2 cos Y / (d +- 2 sin Y) either side of the centre."""

import math
import os
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer, points_of, running  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs", "lightning_a")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")
RED, GREY, YELLOW, BLACK = (255, 0, 0), (102, 102, 102), (255, 255, 0), (0, 0, 0)
FOCAL_X = 400 / math.tan(math.radians(50)) / 1.1  # pixels across per unit of tangent


def blobs(pts):
    """The red pixels split at the widest gap across: (centre x, centre y, height) of each."""
    xs = sorted({p[0] for p in pts})
    gaps = [(b - a, a) for a, b in zip(xs, xs[1:])]
    if not gaps:
        return []
    width, cut = max(gaps)
    if width < 5:
        return []
    out = []
    for side in ([p for p in pts if p[0] <= cut], [p for p in pts if p[0] > cut]):
        ys = [p[1] for p in side]
        out.append((sum(p[0] for p in side) / len(side), sum(ys) / len(ys), max(ys) - min(ys) + 1))
    return out


def distance_from(left, right):
    """The camera distance that puts the two sphere centres at these x positions."""
    a, b = (right - 399.5) / FOCAL_X, (399.5 - left) / FOCAL_X
    s = (b - a) / (2 * (a + b))
    c = a * b / (a + b)
    return 1 / math.sqrt(s * s + c * c)


def look(x, wid, name, tries=20):
    """A screenshot in which the spheres stand at least 150 pixels apart (the view turns)."""
    for _ in range(tries):
        shot = x.screenshot(wid)
        found = blobs(points_of(shot, (RED,)))
        if len(found) == 2 and found[1][0] - found[0][0] > 150:
            shot.save_png(os.path.join(OUT, f"lightning_a_{name}.png"))
            return shot, found
        time.sleep(0.3)
    shot.save_png(os.path.join(OUT, f"lightning_a_{name}.png"))
    raise AssertionError(f"{name}: the two spheres never stood apart")


def main():
    with XServer() as x, running([PROGRAM], x.env(EASEL_BACKEND="sdl2")) as proc:
        wid = x.wait_centred("^FULGER$", (800, 600), settle=0.5)

        # Red spheres on the middle row, grey rods hanging from them past the bottom edge,
        # a yellow bolt between them; nothing else.
        shot, spheres = look(x, wid, "start")
        colours = shot.colours()
        assert colours <= {RED, GREY, YELLOW, BLACK}, sorted(colours)[:8]
        grey, bolt = points_of(shot, (GREY,)), points_of(shot, (YELLOW,))
        for cx, cy, h in spheres:
            assert abs(cy - 299.5) < 2, spheres
            rod = [p for p in grey if abs(p[0] - cx) < 12]
            assert rod and min(p[1] for p in rod) >= 290, (cx, min(p[1] for p in rod))
            assert max(p[1] for p in rod) > 450, cx  # 5 units down, at depth 6 at most
        assert len(bolt) > 100, len(bolt)
        assert all(abs(p[1] - 300) < 12 for p in bolt), sorted({p[1] for p in bolt})
        d0 = distance_from(spheres[0][0], spheres[1][0])
        assert abs(d0 - 4) < 0.15, d0
        print(f"start: spheres at {[(round(c), round(y)) for c, y, _ in spheres]}, "
              f"{len(grey)} rod and {len(bolt)} bolt pixels, distance {d0:.2f}")

        # The view turns by itself: the spheres move while nothing is touched.
        time.sleep(0.5)
        _, later = look(x, wid, "later")
        moved = max(abs(a[0] - b[0]) for a, b in zip(spheres, later))
        assert moved > 3, (spheres, later)
        print(f"unattended: spheres moved {moved:.0f} pixels")

        # A drag with Shift held turns nothing (the spheres stay on the middle row, which
        # holds the eye); a plain left drag 60 pixels down tips the view by 60 degrees, so
        # the rods point away from the eye and foreshorten; dragging back restores it.
        g0 = len(points_of(look(x, wid, "before_drag")[0], (GREY,)))
        x.slow_drag(wid, 400, 200, 400, 260, mods=("shift",))
        shot, found = look(x, wid, "shift_drag")
        g1 = len(points_of(shot, (GREY,)))
        assert all(abs(s[1] - 299.5) < 2 for s in found), found
        assert abs(g1 - g0) < 0.35 * g0, (g0, g1)
        x.slow_drag(wid, 400, 200, 400, 260)
        g2 = len(points_of(x.screenshot(wid), (GREY,)))
        x.screenshot(wid).save_png(os.path.join(OUT, "lightning_a_orbit.png"))
        assert g2 < 0.6 * g0, (g0, g2)
        x.slow_drag(wid, 400, 260, 400, 200)
        shot, found = look(x, wid, "orbit_back")
        g3 = len(points_of(shot, (GREY,)))
        assert all(abs(s[1] - 299.5) < 3 for s in found), found
        assert abs(g3 - g0) < 0.35 * g0, (g0, g3)
        print(f"drags: rod pixels {g0} -> Shift {g1} -> left {g2} -> back {g3}")

        # Down moves the camera back, Up nearer again; Left and Right do nothing to it.
        # Keys are held in bursts until the change shows: how many frames see a held key
        # depends on the machine's load.
        def distance(name):
            return distance_from(*[s[0] for s in look(x, wid, name)[1]])

        def moved(name, sign, ref):
            def done():
                d = distance(name)
                return d if sign * (d - ref) > 0.1 else None
            return done

        d1 = distance("before_zoom")
        d2 = x.hold_until(wid, "Down", 0.5, moved("back", +1, d1))
        x.hold(wid, "Right", 0.5, settle=0.3)
        d3 = distance("right")
        assert abs(d3 - d2) < 0.08, (d2, d3)
        d4 = x.hold_until(wid, "Up", 0.5, moved("nearer", -1, d3))
        print(f"zoom: distance {d1:.2f} -> Down {d2:.2f} -> Right {d3:.2f} -> Up {d4:.2f}")

        x.end_with_escape(proc, wid)  # status 0
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
