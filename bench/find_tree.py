#!/usr/bin/env python3
"""Times `jov-switch find` on a Wine prefix of 100,000 folders.

The prefix lies in a fake home: drive_c holds 10 x 100 x 100 folders three levels down, and the
game folder four levels down in the last of them, so the search must read the whole tree to
find it. Prints the fastest and the median of the runs, and whether the search finished within
its bounds.

    bench/find_tree.py build/release/cli/jov-switch [runs]
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time


def make_tree(home):
    drive_c = os.path.join(home, ".wine", "drive_c")
    for a in range(10):
        for b in range(100):
            for c in range(100):
                os.makedirs(os.path.join(drive_c, f"a{a}", f"b{b}", f"c{c}"))
    game = os.path.join(drive_c, "a9", "b99", "c99", "KRS")
    os.makedirs(os.path.join(game, "krs"))
    open(os.path.join(game, "FLT.CDF"), "w").close()
    return game


def main():
    program = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    with tempfile.TemporaryDirectory() as home:
        game = make_tree(home)
        env = dict(os.environ, HOME=home)
        env.pop("WINEPREFIX", None)
        times = []
        for _ in range(runs):
            start = time.perf_counter()
            out = subprocess.run([program, "find", "--json"], env=env, check=True,
                                 capture_output=True, text=True).stdout
            times.append(time.perf_counter() - start)
        result = json.loads(out)
        found = [f["folder"] for f in result["folders"]]
        print(f"100,010 folders: fastest {min(times):.3f} s, median {statistics.median(times):.3f} s"
              f" over {runs} runs; complete: {result['complete']};"
              f" game folder found: {os.path.realpath(game) in found}")


if __name__ == "__main__":
    main()
