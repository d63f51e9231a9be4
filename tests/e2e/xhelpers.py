"""Helpers for the end-to-end tests: a private X server, input, close requests, screenshots.

Each test starts its own Xvfb (1280x1024, 24-bit) on a free display, runs a program in it, drives
it like a user with xdotool and reads its pixels back with ImageMagick's `import`:

    with XServer() as x:
        proc = subprocess.Popen([program], env=x.env())
        wid = x.wait_window("MY CAPTION")
        x.key(wid, "a", "shift+a", "Escape")
        x.click(wid, 10, 20, mods=("ctrl",))
        shot = x.screenshot(wid)
        assert shot.pixel(10, 20) == (255, 0, 0)
        x.close_window(wid)              # what the window manager's close box sends

Needs: Xvfb, xdotool, ImageMagick (import) and python3-xlib (for close_window only).
"""

import contextlib
import os
import signal
import struct
import subprocess
import time
import zlib


def _xlib():
    """python3-xlib's modules; Debian's copy is found even from a python outside the system's."""
    try:
        from Xlib import X, display, protocol
    except ImportError:
        import sys
        sys.path.append("/usr/lib/python3/dist-packages")
        from Xlib import X, display, protocol
    return X, display, protocol


class XError(RuntimeError):
    """An X tool failed or a window did not appear in time."""


class Screenshot:
    """The RGB pixels of a window, top-left origin."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        """(r, g, b) at client coordinates x, y."""
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError(f"pixel ({x}, {y}) outside {self.width}x{self.height}")
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def colours(self):
        """The set of distinct (r, g, b) colours in the picture."""
        rgb = self.rgb
        return {tuple(rgb[i:i + 3]) for i in range(0, len(rgb), 3)}

    def count(self, colour):
        """How many pixels have exactly this (r, g, b) colour."""
        r, g, b = colour
        rgb = self.rgb
        return sum(1 for i in range(0, len(rgb), 3)
                   if rgb[i] == r and rgb[i + 1] == g and rgb[i + 2] == b)

    def save_png(self, path):
        """Writes the picture as an 8-bit RGB PNG (for failure reports)."""
        def chunk(tag, data):
            body = tag + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
        stride = 3 * self.width
        raw = b"".join(b"\0" + bytes(self.rgb[y * stride:(y + 1) * stride])
                       for y in range(self.height))
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
            f.write(chunk(b"IEND", b""))


def points_of(shot, colours):
    """The (x, y) of every pixel of one of these (r, g, b) colours."""
    rgb, w = shot.rgb, shot.width
    keys = {bytes(c) for c in colours}
    return [((i // 3) % w, (i // 3) // w) for i in range(0, len(rgb), 3)
            if bytes(rgb[i:i + 3]) in keys]


def centroid(pts):
    """The mean (x, y) of some points; there must be at least one."""
    assert pts, "no pixels of the colour"
    return (sum(p[0] for p in pts) / len(pts), sum(p[1] for p in pts) / len(pts))


def look_and_save(x, wid, path):
    """A screenshot of the window, also written to path as a PNG for the failure report."""
    shot = x.screenshot(wid)
    shot.save_png(path)
    return shot


@contextlib.contextmanager
def running(argv, env):
    """Starts a program for the block and kills it if it is still running when the block
    ends, however it ends."""
    proc = subprocess.Popen(argv, env=env)
    try:
        yield proc
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()


def parse_ppm(data):
    """Parses a binary PPM (P6, 8 or 16 bits a sample) into an 8-bit Screenshot."""
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    magic, width, height, maxval = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
    if magic != b"P6" or maxval not in (255, 65535):
        raise XError(f"unexpected picture format {magic!r} maxval {maxval}")
    pos += 1  # the single whitespace byte after maxval
    size = 3 * width * height * (1 if maxval == 255 else 2)
    rgb = data[pos:pos + size]
    if len(rgb) != size:
        raise XError("truncated picture")
    if maxval == 65535:
        rgb = rgb[0::2]  # big-endian samples: the high byte is the 8-bit value
    return Screenshot(width, height, rgb)


class XServer:
    """A private Xvfb, started on a free display number; use as a context manager."""

    def __init__(self, width=1280, height=1024, depth=24):
        self.screen = f"{width}x{height}x{depth}"
        self.proc = None
        self.display = None

    def start(self, timeout=10.0):
        # -displayfd lets the server pick a free display itself and tell us which. -noreset: by
        # default the server resets when its last client leaves and drops connections made
        # meanwhile (5-25% of quick reconnections), which sends SDL to its offscreen driver.
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", self.screen, "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        try:
            number = b""
            deadline = time.monotonic() + timeout
            while not number.endswith(b"\n"):
                if time.monotonic() > deadline or self.proc.poll() is not None:
                    raise XError("Xvfb did not start")
                part = os.read(read_fd, 16)
                if not part:
                    raise XError("Xvfb exited before naming its display")
                number += part
        except BaseException:
            self.stop()
            raise
        finally:
            os.close(read_fd)
        self.display = ":" + number.decode().strip()
        return self

    def stop(self):
        if self.proc is not None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
            self.proc = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def env(self, **extra):
        """The environment for a program that should run on this server."""
        env = dict(os.environ, DISPLAY=self.display)
        env.pop("WAYLAND_DISPLAY", None)
        env.update(extra)
        return env

    # ---- tools ----------------------------------------------------------------------------

    def run(self, *argv, timeout=20.0):
        """Runs an X tool on this display and returns its stdout (bytes)."""
        result = subprocess.run(argv, env=self.env(), capture_output=True, timeout=timeout)
        if result.returncode != 0:
            raise XError(f"{' '.join(argv)}: {result.stderr.decode(errors='replace').strip()}")
        return result.stdout

    def xdotool(self, *args):
        return self.run("xdotool", *[str(a) for a in args])

    # ---- windows --------------------------------------------------------------------------

    def wait_window(self, title, timeout=15.0):
        """The id of the first visible window whose title matches (a regular expression)."""
        try:
            out = self.run("xdotool", "search", "--sync", "--onlyvisible", "--name", title,
                           timeout=timeout)
        except subprocess.TimeoutExpired:
            raise XError(f"no window titled {title!r} within {timeout} s") from None
        return int(out.split()[0])

    def window_geometry(self, wid):
        """(x, y, width, height) of the window's client area on the screen."""
        values = {}
        for line in self.xdotool("getwindowgeometry", "--shell", wid).decode().splitlines():
            name, _, value = line.partition("=")
            values[name] = int(value) if value.lstrip("-").isdigit() else value
        return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]

    def wait_centred(self, title, size, settle):
        """Waits for the window, checks its client size, puts the pointer in its middle and
        gives the first frames time; returns the window id."""
        wid = self.wait_window(title)
        _, _, width, height = self.window_geometry(wid)
        assert (width, height) == size, (width, height)
        self.move(wid, size[0] // 2, size[1] // 2)
        self.settle(settle)
        return wid

    def window_exists(self, wid):
        try:
            self.xdotool("getwindowname", wid)
            return True
        except XError:
            return False

    def close_window(self, wid):
        """Sends WM_DELETE_WINDOW, as a window manager does when its close box is clicked."""
        X, display, protocol = _xlib()
        d = display.Display(self.display)
        try:
            window = d.create_resource_object("window", wid)
            event = protocol.event.ClientMessage(
                window=window, client_type=d.intern_atom("WM_PROTOCOLS"),
                data=(32, [d.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
            window.send_event(event, event_mask=X.NoEventMask)
            # A round trip, not just a flush: closing the connection with replies still unread
            # can reset it, and the server then drops the request it had not yet handled.
            d.sync()
        finally:
            d.close()

    # ---- keyboard -------------------------------------------------------------------------
    # Keys are X keysym names with optional modifiers, as xdotool takes them: "a", "shift+a",
    # "Escape", "Return", "Up", "F1", "ctrl+alt+5", "KP_7", "space".

    def focus(self, wid):
        self.xdotool("windowfocus", "--sync", wid)

    def key(self, wid, *keys, delay_ms=30):
        """Presses and releases each key (chord) in turn."""
        self.focus(wid)
        self.xdotool("key", "--delay", delay_ms, *keys)

    def keydown(self, wid, *keys):
        self.focus(wid)
        self.xdotool("keydown", *keys)

    def keyup(self, wid, *keys):
        self.focus(wid)
        self.xdotool("keyup", *keys)

    def hold(self, wid, key, seconds, settle=0.4):
        """Holds a key for a measured time in one xdotool run, then lets the frames settle."""
        self.focus(wid)
        self.xdotool("keydown", key, "sleep", seconds, "keyup", key)
        self.settle(settle)

    def tap(self, proc, wid, key, run_seconds=0.002):
        """Lets the program run for a short measured time with a key held: it is stopped
        while the key goes down and up, so the frames that see the key are only those of
        run_seconds. Programs whose frames are not paced move by a step per frame, and an
        xdotool hold is too coarse for them."""
        self.focus(wid)
        proc.send_signal(signal.SIGSTOP)
        try:
            self.xdotool("keydown", key)
            proc.send_signal(signal.SIGCONT)
            time.sleep(run_seconds)
            proc.send_signal(signal.SIGSTOP)
            self.xdotool("keyup", key)
        finally:
            proc.send_signal(signal.SIGCONT)
        self.settle(0.3)

    def hold_until(self, wid, key, seconds, done, tries=10, proc=None):
        """Holds a key in bursts until done() returns something other than None, and returns
        that. With proc, each burst is a tap() of that process for the given seconds.

        How far a held key takes a program depends on the machine's frame rate, so tests of
        flying keys check the direction of the change this way, not its size."""
        for _ in range(tries):
            if proc is None:
                self.hold(wid, key, seconds)
            else:
                self.tap(proc, wid, key, seconds)
            result = done()
            if result is not None:
                return result
        raise AssertionError(f"{key} held {tries} times without the expected change")

    def end_with_escape(self, proc, wid, timeout=10.0):
        """Holds Escape until the program ends (within timeout) and checks it ended with 0."""
        self.keydown(wid, "Escape")
        try:
            code = proc.wait(timeout=timeout)
        finally:
            self.xdotool("keyup", "Escape")
        assert code == 0, code
        print("Escape held: ended with 0")

    def type_text(self, wid, text, delay_ms=30):
        """Types printable text character by character."""
        self.focus(wid)
        self.xdotool("type", "--delay", delay_ms, text)

    # ---- mouse ----------------------------------------------------------------------------
    # Coordinates are client coordinates of the window; buttons 1 left, 2 middle, 3 right;
    # mods are held for the duration: ("shift",), ("ctrl",), ("shift", "ctrl").

    def move(self, wid, x, y):
        # No --sync: it waits for the pointer to move, forever when it is already there.
        self.xdotool("mousemove", "--window", wid, x, y)
        time.sleep(0.05)

    def _with_mods(self, mods, actions):
        args = []
        if mods:
            args += ["keydown", *mods]
        args += actions
        if mods:
            args += ["keyup", *mods]
        self.xdotool(*args)

    def click(self, wid, x, y, button=1, mods=()):
        self.move(wid, x, y)
        self._with_mods(mods, ["click", button])

    def press(self, wid, x, y, button=1, mods=()):
        self.move(wid, x, y)
        self._with_mods(mods, ["mousedown", button])

    def release(self, wid, x, y, button=1, mods=()):
        self.move(wid, x, y)
        self._with_mods(mods, ["mouseup", button])

    def drag(self, wid, x1, y1, x2, y2, button=1, mods=(), steps=8):
        """Presses at (x1, y1), moves in steps to (x2, y2) and releases there."""
        self.move(wid, x1, y1)
        actions = ["mousedown", button]
        for i in range(1, steps + 1):
            actions += ["mousemove", "--window", wid, "--sync",
                        x1 + (x2 - x1) * i // steps, y1 + (y2 - y1) * i // steps]
        actions += ["mouseup", button]
        self._with_mods(mods, [str(a) for a in actions])

    def slow_drag(self, wid, x1, y1, x2, y2, button=1, mods=(), pause=0.1, hold=0.3,
                  settle=0.5):
        """A drag in eight steps with a pause after each, so that frames see the pointer move
        with the button down (programs that read only the latest mouse event miss the steps
        of a quick drag); the last step is held a while before the release."""
        self.move(wid, x1, y1)
        if mods:
            self.keydown(wid, *mods)
        self.xdotool("mousedown", button)
        time.sleep(pause)
        for i in range(1, 9):
            self.move(wid, x1 + (x2 - x1) * i // 8, y1 + (y2 - y1) * i // 8)
            time.sleep(pause)
        time.sleep(hold)
        self.xdotool("mouseup", button)
        if mods:
            self.xdotool("keyup", *mods)
        self.settle(settle)

    def wheel(self, wid, x, y, notches):
        """Turns the wheel: positive away from the user (X button 4), negative toward (5)."""
        self.move(wid, x, y)
        if notches:
            self.xdotool("click", "--repeat", abs(notches), 4 if notches > 0 else 5)

    # ---- pictures -------------------------------------------------------------------------

    def screenshot(self, wid):
        """The window's client pixels as they are on the screen now."""
        return parse_ppm(self.run("import", "-window", str(wid), "-depth", "8", "ppm:-"))

    def settle(self, seconds=0.3):
        """Gives the program time to react to input before the next look."""
        time.sleep(seconds)
