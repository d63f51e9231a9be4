#!/usr/bin/env python3
"""Replays a program's tape from tapes/ and compares what it draws with what was recorded.

    check_tape.py <build dir> <program>

Palette programs replay headless and every kept frame's checksum (tapes/<name>.sums) must be
the same: their pages are computed by this project alone, bit for bit. The OpenGL programs
replay off-screen through SDL's EGL driver and their window frames, read back before each swap,
are compared with tapes/<name>-<frame>.png within a small tolerance: those pixels come from the
system's OpenGL rasteriser, whose results may differ by a unit here and there between Mesa
versions and processors. The frame count must match exactly in both cases.
"""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TAPES = os.path.join(ROOT, "tapes")
GL_PROGRAMS = {"lightning_a", "magfield3d_a"}
# A window frame matches its reference when at most this share of its pixels differ by more
# than CHANNEL_SLACK in some channel.
CHANNEL_SLACK = 8
DIFFERENT_SHARE = 0.002


def read_png(path):
    """(width, height, colour type, palette [(r, g, b)], rows of samples) of an 8-bit PNG."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG"
    pos, idat, palette = 8, b"", []
    while pos < len(data):
        length, tag = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if tag == b"IHDR":
            width, height, depth, ctype = struct.unpack(">IIBB", body[:10])
            assert depth == 8, depth
        elif tag == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif tag == b"IDAT":
            idat += body
        pos += 12 + length
    bpp = {3: 1, 2: 3}[ctype]
    raw, stride, rows, prev = zlib.decompress(idat), width * bpp, [], bytearray(width * bpp)
    for y in range(height):
        f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return width, height, ctype, palette, rows


def read_sums(path):
    """{frame: checksum} of an EASEL_CHECKSUMS file."""
    with open(path) as f:
        return {int(frame): value for frame, value in (line.split() for line in f if line.strip())}


def replay(build, name, tape, sums, extra=None):
    """Runs the program on its tape, headless (OpenGL programs: SDL's off-screen driver)."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "EASEL_BACKEND")}
    env.update(EASEL_REPLAY=tape, EASEL_CHECKSUMS=sums, **(extra or {}))
    if name in GL_PROGRAMS:
        env.update(EASEL_BACKEND="sdl2", SDL_VIDEODRIVER="offscreen")
    return subprocess.run([os.path.join(build, "programs", name)], env=env, capture_output=True,
                          text=True, timeout=600)


def rgb_rows(path):
    width, height, ctype, palette, rows = read_png(path)
    if ctype == 3:
        rows = [b"".join(bytes(palette[i]) for i in row) for row in rows]
    return width, height, rows


def differing_share(path, reference):
    w1, h1, a = rgb_rows(path)
    w2, h2, b = rgb_rows(reference)
    assert (w1, h1) == (w2, h2), f"{path}: {w1}x{h1}, the reference is {w2}x{h2}"
    different = 0
    for row_a, row_b in zip(a, b):
        if row_a == row_b:
            continue
        for i in range(0, len(row_a), 3):
            if max(abs(row_a[i + c] - row_b[i + c]) for c in range(3)) > CHANNEL_SLACK:
                different += 1
    return different / (w1 * h1)


def check(build, name):
    tape = os.path.join(TAPES, f"{name}.tape")
    expected = read_sums(os.path.join(TAPES, f"{name}.sums"))
    frames = max(expected)
    with tempfile.TemporaryDirectory() as tmp:
        sums = os.path.join(tmp, "replay.sums")
        references = sorted(f for f in os.listdir(TAPES)
                            if f.startswith(f"{name}-") and f.endswith(".png"))
        extra = None
        if name in GL_PROGRAMS:
            assert references, f"{name}: no reference pictures in {TAPES}"
            chosen = [int(f[len(name) + 1:-4]) for f in references]
            extra = {"EASEL_CAPTURE_PNG": tmp,
                     "EASEL_CAPTURE_FRAMES": ",".join(map(str, chosen))}
        result = replay(build, name, tape, sums, extra)
        assert result.returncode == 0, (
            f"{name}: the replay ended with status {result.returncode}: {result.stderr}")
        got = read_sums(sums)
        assert max(got, default=0) == frames, (
            f"{name}: {max(got, default=0)} frames replayed, {frames} recorded")
        if name in GL_PROGRAMS:
            for ref in references:
                share = differing_share(os.path.join(tmp, ref), os.path.join(TAPES, ref))
                assert share <= DIFFERENT_SHARE, (
                    f"{name}: {ref}: {share:.2%} of the pixels differ from the reference")
                print(f"{name}: {ref}: {share:.3%} of the pixels differ by more than "
                      f"{CHANNEL_SLACK}")
        else:
            wrong = [f for f in sorted(expected) if got.get(f) != expected[f]]
            assert not wrong, (f"{name}: {len(wrong)} of {len(expected)} kept frames differ, "
                               f"the first at frame {wrong[0]}")
    print(f"{name}: {frames} frames replayed; {len(expected)} kept checksums"
          f"{' and ' + str(len(references)) + ' pictures' if name in GL_PROGRAMS else ''} match")


if __name__ == "__main__":
    check(os.path.abspath(sys.argv[1]), sys.argv[2])
