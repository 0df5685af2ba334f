#!/usr/bin/env python3
"""jov-switch's progress line: with standard error on a terminal (a pseudo-terminal here) it
shows, is redrawn at most ten times a second and is cleared at the end; piped, it never shows.
Usage: progress_test.py JOV_SWITCH"""

import os
import pty
import re
import shutil
import subprocess
import sys
import tempfile
import time

DRAWN = re.compile(r"\rjov-switch: (\d+)/(\d+) files, ([\d.]+)/([\d.]+) MB")


def install(switch, game, on_terminal):
    """Runs `install jov` at once after the stock set; returns its status, its standard error
    and the seconds it took."""
    with open(os.path.join(game, "jovo.ini"), "wb") as state:
        state.write(b'"none"\r\n')
    for name in os.listdir(game):
        if name.endswith(".FLT") or name.endswith(".DAT"):
            os.remove(os.path.join(game, name))
    env = dict(os.environ, JOV_SWITCH_PROGRESS_DELAY="0")
    command = [switch, "-C", game, "install", "jov"]
    start = time.monotonic()
    if not on_terminal:
        done = subprocess.run(command, capture_output=True, env=env)
        return done.returncode, done.stderr.decode(), time.monotonic() - start
    terminal, far_end = pty.openpty()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=far_end, env=env)
    os.close(far_end)
    err = b""
    while True:
        try:
            chunk = os.read(terminal, 4096)
        except OSError:  # the far end closed with the program
            break
        if not chunk:
            break
        err += chunk
    os.close(terminal)
    return child.wait(), err.decode(), time.monotonic() - start


def shown_at_end(text):
    """The last line as the terminal shows it: a carriage return goes back to its start."""
    line = []
    at = 0
    for char in text.split("\n")[-1]:
        if char == "\r":
            at = 0
            continue
        line[at:at + 1] = [char]
        at += 1
    return "".join(line)


def main():
    switch = sys.argv[1]
    root = tempfile.mkdtemp(prefix="jov-progress-")
    try:
        game = os.path.join(root, "KRS Game")
        for folder in ("KRS", "JOV"):
            os.makedirs(os.path.join(game, folder))
        with open(os.path.join(game, "KRS", "FLT.CDF"), "wb") as stock:
            stock.write(b"stock")
        for number in range(300):
            with open(os.path.join(game, "JOV", f"F{number:03}.FLT"), "wb") as model:
                model.write(b"m" * 10000)
        with open(os.path.join(game, "JOV", "PANEL.DAT"), "wb") as panel:
            panel.write(b"p")

        status, err, seconds = install(switch, game, on_terminal=True)
        draws = DRAWN.findall(err)
        failures = []
        if status != 0:
            failures.append(f"exit status {status} on a terminal: {err!r}")
        if not draws or draws[-1][1] != "301" or draws[-1][3] != "3.0":
            failures.append(f"no line of 301 files and 3.0 MB: {err!r}")
        if len(draws) > 2 + 10 * seconds:
            failures.append(f"{len(draws)} lines in {seconds:.2f} s: more than ten a second")
        if shown_at_end(err).strip():
            failures.append(f"the line stands at the end: {shown_at_end(err)!r}")

        status, err, seconds = install(switch, game, on_terminal=False)
        if status != 0 or "files," in err:
            failures.append(f"piped, status {status} and standard error {err!r}")
        for failure in failures:
            print("FAIL:", failure)
        return 1 if failures else 0
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
