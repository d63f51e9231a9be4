"""Real input through a real window: xdotool events reach the key queue, the held-key state and
the mouse getters as the codes and bits programs expect."""

import os
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer  # noqa: E402

PROBE = os.path.join(os.environ["EASEL_BUILD_DIR"], "tests", "input_probe")


class Probe:
    """The input probe's output lines, collected as they come."""

    def __init__(self, x):
        self.proc = subprocess.Popen([PROBE], env=x.env(EASEL_BACKEND="sdl2"),
                                     stdout=subprocess.PIPE, text=True)
        self.lines = []
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            with self.lock:
                self.lines.append(line.strip())

    def take(self, settle=0.4):
        time.sleep(settle)
        with self.lock:
            out, self.lines = self.lines, []
        return out

    def keys(self, expected=1, timeout=3.0):
        """The key codes printed until `expected` have come (or the timeout passed), then
        a short settle to catch any extra code."""
        codes, deadline = [], time.monotonic() + timeout
        while len(codes) < expected and time.monotonic() < deadline:
            codes += [int(l.split()[1]) for l in self.take(0.05) if l.startswith("key ")]
        return codes + [int(l.split()[1]) for l in self.take(0.3) if l.startswith("key ")]


def main():
    failures = []
    checks = 0

    def check(name, got, expected):
        nonlocal checks
        checks += 1
        if got != expected:
            failures.append(f"{name}: got {got}, expected {expected}")

    with XServer() as x:
        probe = Probe(x)
        wid = x.wait_window("^INPUT PROBE$")
        time.sleep(0.3)
        ready = probe.take(0.2)
        print("probe:", ready)
        x.focus(wid)
        cases = [
            ("a", [97]), ("shift+a", [65]), ("Escape", [27]), ("Return", [13]),
            ("Up", [0, 72]), ("F1", [0, 59]), ("ctrl+alt+5", [0, 5, 0, 124]),
            ("alt+x", [0, 45]), ("ctrl+a", [1]), ("BackSpace", [8]), ("Tab", [9]),
            ("ctrl+Up", [0, 141]), ("shift+F1", [0, 84]),
        ]
        for keys, expected in cases:
            x.key(wid, keys)
            check(keys, probe.keys(len(expected)), expected)

        # Held keys show in the asynchronous state; released ones do not.
        x.keydown(wid, "Left")
        lines = probe.take()
        check("Left held", "held 37 1" in lines, True)
        x.keyup(wid, "Left")
        lines = probe.take()
        check("Left released", "held 37 0" in lines, True)

        # Mouse: positions and button bits, with Shift and Ctrl.
        x.move(wid, 100, 50)
        check("move", probe.take()[-1:], ["mouse 0 100 50"])
        x.press(wid, 120, 60, mods=("ctrl",))
        check("ctrl+left press", probe.take()[-1:], ["mouse 17 120 60"])
        x.release(wid, 120, 60)
        check("release", probe.take()[-1:], ["mouse 0 120 60"])
        x.press(wid, 130, 70, button=3)
        check("right press", probe.take()[-1:], ["mouse 2 130 70"])
        x.release(wid, 130, 70, button=3)
        probe.take()
        x.move(wid, 140, 80)
        x.keydown(wid, "shift")
        x.move(wid, 150, 90)
        x.keyup(wid, "shift")
        lines = [l for l in probe.take() if l.startswith("mouse")]
        check("shift move", lines[-1:], ["mouse 8 150 90"])

        # The close box queues 0, 107 and the probe ends on it.
        x.close_window(wid)
        check("close request", probe.keys(2), [0, 107])
        check("exit status", probe.proc.wait(timeout=5), 0)

    for f in failures:
        print("FAIL", f)
    print(f"{checks - len(failures)} passed, {len(failures)} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
