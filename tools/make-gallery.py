#!/usr/bin/env python3
"""Makes the README's gallery: docs/gallery/<program>.png, one frame of each program's tape
replayed headless (the OpenGL programs through SDL's off-screen driver). No display needed.

    tools/make-gallery.py [--build build/release] [program ...]   (default: every tape)
"""

import argparse
import os
import shutil
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "tapes"))
from check_tape import TAPES, read_sums, replay  # noqa: E402

GALLERY = os.path.join(ROOT, "docs", "gallery")


def picture(build, name, tmp):
    """The tape's last frame, as docs/gallery/<name>.png."""
    shots = os.path.join(tmp, name)
    os.mkdir(shots)
    result = replay(build, name, os.path.join(TAPES, f"{name}.tape"),
                    os.path.join(tmp, f"{name}.sums"),
                    {"EASEL_CAPTURE_PNG": shots, "EASEL_CAPTURE_FRAMES": "last"})
    if result.returncode != 0:
        raise SystemExit(f"{name}: the replay ended with {result.returncode}: {result.stderr}")
    frames = max(read_sums(os.path.join(tmp, f"{name}.sums")))
    shutil.copy(os.path.join(shots, f"{name}-{frames:06d}.png"),
                os.path.join(GALLERY, f"{name}.png"))
    print(f"{name}: frame {frames} -> docs/gallery/{name}.png")


def main():
    tapes = sorted(f[:-5] for f in os.listdir(TAPES) if f.endswith(".tape"))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("programs", nargs="*", default=tapes)
    args = parser.parse_args()
    os.makedirs(GALLERY, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        for name in args.programs:
            picture(os.path.abspath(args.build), name, tmp)


if __name__ == "__main__":
    main()
