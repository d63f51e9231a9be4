#!/usr/bin/env python3
"""Records the programs' replay tapes in tapes/: each program runs in a real window under a
private Xvfb, driven by xdotool as a user would, with EASEL_RECORD set.

    tools/record-tapes.py [--build build/release] [program ...]   (default: all fourteen)

For each program it writes
  tapes/<name>.tape   what the program read from outside, in order
  tapes/<name>.sums   "<frame> <checksum>" of about a hundred of its shown frames and the last
  tapes/<name>-<frame>.png   (OpenGL programs) the window at three frames, replayed off-screen
and checks at once that a headless replay draws the recorded pages. tests/tapes/check_tape.py
replays them in the test suite. Needs Xvfb, xdotool and a release build.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "tests", "tapes"))
from xhelpers import XServer  # noqa: E402
from check_tape import GL_PROGRAMS, read_sums, replay  # noqa: E402

TAPES = os.path.join(ROOT, "tapes")
KEPT_SUMS = 100  # frames whose checksums are kept, besides the last


# ---- how each program is driven ------------------------------------------------------------
# Each drive gets the X server, the window and the process, plays for a second or two and ends
# the program the way its users do.

def any_key(x, wid, proc):
    x.key(wid, "space")


def hold_escape(x, wid, proc):
    x.keydown(wid, "Escape")
    proc.wait(timeout=10)
    x.xdotool("keyup", "Escape")


def drive_blackhole(x, wid, proc):
    time.sleep(2.0)
    any_key(x, wid, proc)


def drive_attractor(x, wid, proc):
    x.press(wid, 400, 300, button=1)
    for i in range(10):
        x.move(wid, 400 + 15 * i, 300 - 8 * i)
        time.sleep(0.05)
    x.release(wid, 550, 220, button=1)
    x.press(wid, 300, 250, button=3)
    time.sleep(0.3)
    x.release(wid, 300, 250, button=3)
    x.press(wid, 420, 320, button=1)
    time.sleep(0.6)
    x.release(wid, 420, 320, button=1)
    any_key(x, wid, proc)


def drive_attractor_path(x, wid, proc):
    x.drag(wid, 200, 150, 200, 450)
    x.drag(wid, 600, 200, 450, 300)
    for at in ((100, 100), (700, 500), (120, 520), (680, 90)):
        x.click(wid, *at, button=3)
        time.sleep(0.1)
    x.key(wid, "a")
    time.sleep(1.5)
    x.key(wid, "Escape")


def drive_pursuit(x, wid, proc):
    x.move(wid, 600, 200)
    for at in ((600, 200), (200, 450), (650, 500)):
        x.click(wid, *at)
        time.sleep(0.4)
    for i in range(10):
        x.move(wid, 600 - 40 * i, 150 + 30 * i)
        time.sleep(0.05)
    time.sleep(0.5)
    any_key(x, wid, proc)


def drive_troops(x, wid, proc):
    x.drag(wid, 80, 80, 420, 380)
    x.press(wid, 620, 320, button=3)
    time.sleep(0.8)
    x.release(wid, 620, 320, button=3)
    time.sleep(0.5)
    any_key(x, wid, proc)


def drive_galaxies(x, wid, proc):
    for _ in range(3):
        time.sleep(1.0)
        x.key(wid, "space")
    time.sleep(1.0)
    x.key(wid, "space")  # the fourth key ends it


def drive_binarystars(x, wid, proc):
    time.sleep(2.5)
    any_key(x, wid, proc)


def drive_lightning_a(x, wid, proc):
    x.drag(wid, 400, 300, 470, 260)
    time.sleep(0.3)
    x.hold(wid, "Down", 0.3)
    hold_escape(x, wid, proc)


def drive_lightning_b(x, wid, proc):
    # Its frames are not paced: the camera moves a step per frame, so keys are tapped.
    x.drag(wid, 400, 300, 430, 280, button=3)
    time.sleep(0.2)
    x.tap(proc, wid, "Down")
    x.tap(proc, wid, "Right")
    time.sleep(0.3)
    hold_escape(x, wid, proc)


def drive_magfield_a(x, wid, proc):
    time.sleep(0.5)
    x.drag(wid, 470, 300, 600, 180, steps=12)
    time.sleep(1.0)
    any_key(x, wid, proc)


def drive_magfield_b(x, wid, proc):
    time.sleep(0.6)
    x.press(wid, 250, 200, button=1)
    time.sleep(0.5)
    x.release(wid, 250, 200, button=1)
    x.key(wid, "space")
    time.sleep(0.8)
    x.key(wid, "Escape")


def drive_magnets(x, wid, proc):
    time.sleep(0.5)
    x.press(wid, 300, 250, button=1)
    time.sleep(0.4)
    x.release(wid, 300, 250, button=1)
    x.press(wid, 500, 350, button=3)
    time.sleep(0.4)
    x.release(wid, 500, 350, button=3)
    time.sleep(0.6)
    x.key(wid, "Escape")


def drive_magfield3d_a(x, wid, proc):
    x.drag(wid, 400, 300, 340, 330)
    time.sleep(0.3)
    x.hold(wid, "Right", 0.2)
    hold_escape(x, wid, proc)


def drive_magfield3d_b(x, wid, proc):
    x.drag(wid, 400, 300, 400, 280)
    time.sleep(0.3)
    x.tap(proc, wid, "Down")
    time.sleep(0.3)
    hold_escape(x, wid, proc)


PROGRAMS = {
    "blackhole": ("^GAURA NEAGRA$", drive_blackhole),
    "attractor": ("^ATRACTOR$", drive_attractor),
    "attractor_path": ("^CALEA CEA MAI SCURTA CATRE ATRACTOR$", drive_attractor_path),
    "pursuit": ("^RACHETE DE URMARIRE$", drive_pursuit),
    "troops": ("^MISCARI DE TRUPE$", drive_troops),
    "galaxies": ("^TIPURI DE GALAXII$", drive_galaxies),
    "binarystars": ("^FIZICA SISTEMELOR SOLARE BINARE$", drive_binarystars),
    "lightning_a": ("^FULGER$", drive_lightning_a),
    "lightning_b": ("^FULGER$", drive_lightning_b),
    "magfield_a": ("^CAMP MAGNETIC$", drive_magfield_a),
    "magfield_b": ("^CAMP MAGNETIC$", drive_magfield_b),
    "magnets": ("^FUNCTIONAREA MAGNETILOR$", drive_magnets),
    "magfield3d_a": ("^CAMP MAGNETIC IN 3D$", drive_magfield3d_a),
    "magfield3d_b": ("^CAMP MAGNETIC IN 3D$", drive_magfield3d_b),
}


def kept(frames):
    """About KEPT_SUMS evenly spread frame numbers, and the last."""
    step = max(1, frames // KEPT_SUMS)
    return sorted(set(range(step, frames + 1, step)) | {frames})


def record(x, build, name, tmp):
    title, drive = PROGRAMS[name]
    tape = os.path.join(TAPES, f"{name}.tape")
    recorded_sums = os.path.join(tmp, f"{name}.rec")
    proc = subprocess.Popen([os.path.join(build, "programs", name)],
                            env=x.env(EASEL_BACKEND="sdl2", EASEL_RECORD=tape,
                                      EASEL_CHECKSUMS=recorded_sums))
    try:
        wid = x.wait_window(title)
        x.move(wid, 400, 300)
        time.sleep(0.5)
        drive(x, wid, proc)
        status = proc.wait(timeout=15)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    if status != 0:
        raise SystemExit(f"{name}: ended with status {status} while recording")

    recorded = read_sums(recorded_sums)
    frames = max(recorded)
    for old in os.listdir(TAPES):
        if old.startswith(f"{name}-") and old.endswith(".png"):
            os.remove(os.path.join(TAPES, old))
    if name in GL_PROGRAMS:
        # The window's pixels come from the OpenGL driver: the references are pictures, taken
        # from an off-screen replay as the test suite makes one.
        chosen = [frames // 3, 2 * frames // 3, frames]
        shots = os.path.join(tmp, f"{name}-shots")
        os.mkdir(shots)
        result = replay(build, name, tape, os.path.join(tmp, f"{name}.rep"),
                        {"EASEL_CAPTURE_PNG": shots,
                         "EASEL_CAPTURE_FRAMES": ",".join(map(str, chosen))})
        for frame in chosen:
            shutil.copy(os.path.join(shots, f"{name}-{frame:06d}.png"),
                        os.path.join(TAPES, f"{name}-{frame:06d}.png"))
    else:
        result = replay(build, name, tape, os.path.join(tmp, f"{name}.rep"))
    if result.returncode != 0:
        raise SystemExit(f"{name}: the replay ended with {result.returncode}: {result.stderr}")
    replayed = read_sums(os.path.join(tmp, f"{name}.rep"))
    if name in GL_PROGRAMS and len(replayed) != len(recorded):
        raise SystemExit(f"{name}: {len(replayed)} frames replayed, {len(recorded)} recorded")
    if name not in GL_PROGRAMS and replayed != recorded:
        raise SystemExit(f"{name}: the headless replay drew other pages than the recording")
    with open(os.path.join(TAPES, f"{name}.sums"), "w") as out:
        for frame in kept(frames):
            out.write(f"{frame} {replayed[frame]}\n")
    print(f"{name}: {frames} frames, tape {os.path.getsize(tape)} bytes")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("programs", nargs="*", default=list(PROGRAMS))
    args = parser.parse_args()
    unknown = set(args.programs) - set(PROGRAMS)
    if unknown:
        raise SystemExit(f"unknown programs: {' '.join(sorted(unknown))}")
    os.makedirs(TAPES, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp, XServer() as x:
        for name in args.programs:
            record(x, os.path.abspath(args.build), name, tmp)


if __name__ == "__main__":
    main()
