"""Replay tapes and capture end to end.

Programs are recorded in real windows under Xvfb, driven by xdotool, and replayed headless:
every shown frame's checksum must be the same. A tape replayed against another program is
reported and ends it with status 3. A replay writes a GIF whose colours are the palette's and
PNGs of chosen frames. Print Screen in a real window saves the shown page and the program,
which ends on any key, keeps running.
"""

import os
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tapes"))
from check_tape import read_png  # noqa: E402

PROGRAMS = os.path.join(os.environ["EASEL_BUILD_DIR"], "programs")
OUT = os.environ.get("EASEL_E2E_OUT", "/tmp")


def program(name):
    return os.path.join(PROGRAMS, name)


def wait_exit(proc, seconds):
    try:
        return proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        raise AssertionError(f"still running {seconds} s after being asked to end")




def read_gif_structure(path):
    """(global colour table, frame count, frames with a local colour table, delays in cs),
    read from the GIF's blocks without decoding the pixels."""
    data = open(path, "rb").read()
    assert data[:6] == b"GIF89a", data[:6]
    flags = data[10]
    assert flags & 0x80, "no global colour table"
    size = 2 << (flags & 7)
    table = [tuple(data[13 + 3 * i:16 + 3 * i]) for i in range(size)]
    pos, frames, local, delays = 13 + 3 * size, 0, 0, []

    def skip_sub_blocks(p):
        while data[p]:
            p += data[p] + 1
        return p + 1

    while data[pos] != 0x3B:
        if data[pos] == 0x21:  # extension
            if data[pos + 1] == 0xF9:
                delays.append(struct.unpack("<H", data[pos + 4:pos + 6])[0])
            pos = skip_sub_blocks(pos + 2)
        elif data[pos] == 0x2C:  # image
            frames += 1
            packed = data[pos + 9]
            pos += 10
            if packed & 0x80:
                local += 1
                pos += 3 * (2 << (packed & 7))
            pos = skip_sub_blocks(pos + 1)  # after the LZW minimum code size
        else:
            raise AssertionError(f"unexpected GIF block 0x{data[pos]:02X} at {pos}")
    return table, frames, local, delays


def checksums(path):
    with open(path) as f:
        return [line.split() for line in f if line.strip()]


def record(x, name, tape, sums, drive, window_title):
    """Runs a program in a real window under a tape recording, drives it, and returns its
    frame checksums."""
    env = x.env(EASEL_BACKEND="sdl2", EASEL_RECORD=tape, EASEL_CHECKSUMS=sums)
    proc = subprocess.Popen([program(name)], env=env)
    wid = x.wait_window(window_title)
    x.settle(0.5)
    drive(x, wid)
    x.key(wid, "space")
    assert wait_exit(proc, 10) == 0
    return checksums(sums)


def replay(name, tape, sums, extra=None, binary=None):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.pop("EASEL_BACKEND", None)  # a replay runs headless by itself
    env.update(EASEL_REPLAY=tape, EASEL_CHECKSUMS=sums, **(extra or {}))
    result = subprocess.run([binary or program(name)], env=env, capture_output=True, timeout=120)
    return result.returncode, result.stderr.decode(errors="replace")


def drive_nothing(x, wid):
    time.sleep(2.5)


def drive_attractor(x, wid):
    x.press(wid, 400, 300, button=1)
    for i in range(8):
        x.move(wid, 400 + 20 * i, 300 - 10 * i)
    x.release(wid, 560, 220, button=1)
    x.press(wid, 300, 250, button=3)
    time.sleep(0.4)
    x.release(wid, 320, 260, button=3)
    time.sleep(0.3)


def drive_troops(x, wid):
    x.drag(wid, 100, 100, 500, 400)
    x.press(wid, 650, 300, button=3)
    time.sleep(0.8)
    x.release(wid, 650, 300, button=3)


def drive_pursuit(x, wid):
    # Three launches, each button held for a moment (the program polls it once a frame), and
    # the pointer moved away for the missiles to chase.
    for px, py in ((200, 200), (600, 150), (400, 450)):
        x.press(wid, px, py, button=1)
        time.sleep(0.1)
        x.release(wid, px, py, button=1)
        time.sleep(0.3)
    x.move(wid, 700, 500)
    time.sleep(0.5)


CASES = [
    ("blackhole", "^GAURA NEAGRA$", drive_nothing),
    ("attractor", "^ATRACTOR$", drive_attractor),
    ("troops", "^MISCARI DE TRUPE$", drive_troops),
    ("pursuit", "^RACHETE DE URMARIRE$", drive_pursuit),
]


def main():
    passed = 0
    with tempfile.TemporaryDirectory() as tmp, XServer() as x:
        path = lambda n: os.path.join(tmp, n)  # noqa: E731

        # Record in a real window, replay headless: the same page at every frame.
        for name, title, drive in CASES:
            if not os.path.exists(program(name)):
                print(f"{name}: not built, skipped")
                continue
            tape = path(f"{name}.tape")
            recorded = record(x, name, tape, path(f"{name}.rec"), drive, title)
            start = time.monotonic()
            status, err = replay(name, tape, path(f"{name}.rep"))
            assert status == 0, f"{name}: replay ended with {status}: {err}"
            replayed = checksums(path(f"{name}.rep"))
            assert len(recorded) > 50, f"{name}: only {len(recorded)} frames recorded"
            assert replayed == recorded, (
                f"{name}: first different frame "
                f"{next(i for i, (a, b) in enumerate(zip(recorded, replayed)) if a != b) + 1}"
                if len(replayed) == len(recorded) else
                f"{name}: {len(replayed)} frames replayed, {len(recorded)} recorded")
            distinct = len({s for _, s in recorded})
            print(f"{name}: {len(recorded)} frames ({distinct} different pages), "
                  f"tape {os.path.getsize(tape)} bytes, replayed headless in "
                  f"{time.monotonic() - start:.2f} s with identical checksums")
            passed += 1

        # A replay in a real window draws the same pages too, at the recorded pace.
        tape = path("blackhole.tape")
        proc = subprocess.run([program("blackhole")], timeout=60, capture_output=True,
                              env=x.env(EASEL_BACKEND="sdl2", EASEL_REPLAY=tape,
                                        EASEL_CHECKSUMS=path("window.rep")))
        assert proc.returncode == 0, proc.stderr.decode(errors="replace")
        assert checksums(path("window.rep")) == checksums(path("blackhole.rec"))
        print("blackhole: replayed in a real window with identical checksums")
        passed += 1

        # A tape does not fit another program.
        if os.path.exists(program("attractor")):
            status, err = replay("attractor", tape, path("x.sums"))
            assert status == 3, (status, err)
            assert "recorded from blackhole, not from attractor" in err, err
            print(f"blackhole tape, attractor binary: status 3: {err.strip()}")
            # The same name over another program: the reads differ, found at the first one.
            changed = path("changed")
            os.mkdir(changed)
            os.symlink(program("attractor"), os.path.join(changed, "blackhole"))
            status, err = replay("blackhole", tape, path("y.sums"),
                                 binary=os.path.join(changed, "blackhole"))
            assert status == 3, (status, err)
            assert "does not match this program at read " in err and "program asked for" in err, err
            print(f"changed program under the same name: status 3: {err.strip()}")
            passed += 1

        # A replay writes a GIF of its first 200 frames and PNGs of chosen frames.
        shots = path("shots")
        os.mkdir(shots)
        gif = os.path.join(OUT, "blackhole-replay.gif")
        status, err = replay("blackhole", tape, path("z.sums"),
                             {"EASEL_CAPTURE_GIF": gif, "EASEL_CAPTURE_PNG": shots,
                              "EASEL_CAPTURE_FRAMES": "10,50"})
        assert status == 0, err
        total = len(checksums(path("z.sums")))
        table, frames, local, delays = read_gif_structure(gif)
        assert frames == min(200, total), (frames, total)
        assert local == 0 and set(delays) == {2}, (local, set(delays))
        width, height, ctype, plte, rows = read_png(os.path.join(shots, "blackhole-000050.png"))
        assert (width, height, ctype) == (800, 600, 3), (width, height, ctype)
        assert table == plte, "the GIF's colour table is not the palette"
        # Every frame is coloured by that table alone; ImageMagick's view of the first ten agrees.
        used = subprocess.run(["convert", gif + "[0-9]", "-coalesce", "-unique-colors",
                               "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
        colours = {tuple(used[i:i + 3]) for i in range(0, len(used), 3)}
        assert colours == {(0, 0, 0), (252, 252, 252)} and colours <= set(plte), colours
        print(f"replay capture: {frames}-frame GIF ({os.path.getsize(gif)} bytes), its global "
              f"table the 256-entry palette, no local tables, 2 cs a frame; colours "
              f"{sorted(colours)}; PNG frames 10 and 50 indexed with the same palette")
        passed += 1

        # Print Screen in a real window: a PNG of the page, and the program keeps running.
        proc = subprocess.Popen([program("blackhole")],
                                env=x.env(EASEL_BACKEND="sdl2", EASEL_SCREENSHOT_DIR=shots))
        wid = x.wait_window("^GAURA NEAGRA$")
        x.settle(0.5)
        before = set(os.listdir(shots))
        x.key(wid, "Print")
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline and set(os.listdir(shots)) == before:
            time.sleep(0.05)
        new = sorted(set(os.listdir(shots)) - before)
        assert len(new) == 1 and new[0].startswith("easel-blackhole-"), new
        x.settle(0.5)
        assert proc.poll() is None, "Print Screen ended the program"
        width, height, ctype, plte, rows = read_png(os.path.join(shots, new[0]))
        used = {plte[i] for row in rows for i in row}
        assert (width, height, ctype) == (800, 600, 3) and used == {(0, 0, 0), (252, 252, 252)}
        os.replace(os.path.join(shots, new[0]), os.path.join(OUT, "blackhole-printscreen.png"))
        x.key(wid, "space")
        assert wait_exit(proc, 5) == 0
        print(f"Print Screen: {new[0]} ({width}x{height} indexed, colours {sorted(used)}); "
              f"blackhole still running, then ended by a key with 0")
        passed += 1
    print(f"{passed} passed, 0 failed")


if __name__ == "__main__":
    main()
