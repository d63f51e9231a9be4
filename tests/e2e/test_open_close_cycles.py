"""200 open/close cycles of a real SDL window in one process leave no thread, file descriptor
or memory behind."""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
from xhelpers import XServer  # noqa: E402

PROGRAM = os.path.join(os.environ["EASEL_BUILD_DIR"], "tests", "open_close_cycles")


def main():
    with XServer() as x:
        result = subprocess.run([PROGRAM, "200"], env=x.env(EASEL_BACKEND="sdl2"),
                                capture_output=True, text=True, timeout=200)
    print(result.stdout.strip())
    assert "sdl2" in result.stdout, result.stdout + result.stderr
    assert result.returncode == 0, result.stderr
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
