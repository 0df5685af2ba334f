#!/usr/bin/env python3
"""jov-switch's progress line: with standard error on a terminal (a pseudo-terminal here) it
shows, is redrawn at most ten times a second and is cleared at the end; piped, it never shows.
Usage: progress_test.py JOV_SWITCH"""

import os
import pty
import re
import subprocess
import sys
import tempfile
import time


def install(game, on_terminal):
    """`install jov` in the stock state: its status, standard error and seconds."""
    for name in os.listdir(game):
        if name.endswith((".FLT", ".DAT")):
            os.remove(os.path.join(game, name))
    with open(os.path.join(game, "jovo.ini"), "wb") as state:
        state.write(b'"none"\r\n')
    terminal, far_end = pty.openpty() if on_terminal else (None, subprocess.PIPE)
    start = time.monotonic()
    child = subprocess.Popen([sys.argv[1], "-C", game, "install", "jov"], stderr=far_end,
                             stdout=subprocess.DEVNULL,
                             env=dict(os.environ, JOV_SWITCH_PROGRESS_DELAY="0"))
    if not on_terminal:
        err = child.communicate()[1].decode()
        return child.returncode, err, time.monotonic() - start
    os.close(far_end)
    err = b""
    try:
        while chunk := os.read(terminal, 4096):
            err += chunk
    except OSError:  # the far end closed with the program
        pass
    os.close(terminal)
    return child.wait(), err.decode(), time.monotonic() - start


def main():
    with tempfile.TemporaryDirectory(prefix="jov-progress-") as root:
        game = os.path.join(root, "KRS Game")
        for name, size in [("KRS/FLT.CDF", 1), ("JOV/PANEL.DAT", 1)] + [
                (f"JOV/F{number:03}.FLT", 10000) for number in range(300)]:
            os.makedirs(os.path.dirname(os.path.join(game, name)), exist_ok=True)
            with open(os.path.join(game, name), "wb") as file:
                file.write(b"x" * size)
        failures = []
        status, err, seconds = install(game, on_terminal=True)
        drawn = re.findall(r"\rjov-switch: \d+/(\d+) files, [\d.]+/([\d.]+) MB", err)
        # What the terminal shows last: each carriage return writes over the line from its start.
        shown = ""
        for part in err.split("\r"):
            shown = part + shown[len(part):]
        if status != 0 or not drawn or drawn[-1] != ("301", "3.0"):
            failures.append(f"status {status}, no line of 301 files and 3.0 MB: {err!r}")
        if len(drawn) > 2 + 10 * seconds:
            failures.append(f"{len(drawn)} lines in {seconds:.2f} s: more than ten a second")
        if shown.strip():
            failures.append(f"the line stands at the end: {shown!r}")
        status, err, _ = install(game, on_terminal=False)
        if status != 0 or "files," in err:
            failures.append(f"piped: status {status}, standard error {err!r}")
        for failure in failures:
            print("FAIL:", failure)
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
