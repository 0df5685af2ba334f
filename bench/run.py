#!/usr/bin/env python3
"""Measures jov-switch and JOV_Enable against standard tools doing the same work, side by
side in one run: the two commands alternate round by round after a warm-up, and each figure is
the median of the per-round ratios, with their minimum and maximum."""

import argparse
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CLEAN_OUT = ["*.flt", "*.dat", "*.str", "*.mpc", "*.cpt", "*.3dz", "jovpanel.exe", "flt.cdf",
             "data.cdf"]


def quiet(command, cwd=None):
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def timed(command, cwd=None):
    os.sync()  # the other command's writes are not flushed on this one's clock
    start = time.perf_counter()
    quiet(command, cwd)
    return time.perf_counter() - start


def reset(game, word, switch=None):
    """The game folder in the stock state ("none"), or with the JOV set in ("jov") as the
    program leaves it, installed by `switch`: its copies are listed as the program's, so nothing
    of the player's own is there to keep."""
    for entry in os.scandir(game):
        if entry.is_file(follow_symlinks=False):
            os.remove(entry.path)
    shutil.rmtree(os.path.join(game, "JOV_Enable-backup"), ignore_errors=True)
    quiet(["sh", "-c", "cp -pf KRS/* ."], cwd=game)
    with open(os.path.join(game, "jovo.ini"), "wb") as state:
        state.write(b'"none"\r\n')
    if word == "jov":
        quiet([switch, "-C", game, "install", "jov"])


def side_by_side(rounds, first, second):
    """Runs first() and second() alternately, each after its own set-up; returns both lists
    of seconds and the per-round ratios first/second, warm-up round dropped."""
    ours, theirs = [], []
    for round_ in range(rounds + 1):
        pair = [(first, ours), (second, theirs)]
        if round_ % 2:
            pair.reverse()
        for run, times in pair:
            times.append(run())
    ours, theirs = ours[1:], theirs[1:]
    return ours, theirs, [a / b for a, b in zip(ours, theirs)]


def install_figure(game, switch, rounds):
    def ours():
        reset(game, "none")
        return timed([switch, "-C", game, "install", "jov"])

    def theirs():
        reset(game, "none")
        return timed(["sh", "-c", "cp -f JOV/* . && sync -f ."], cwd=game)

    return side_by_side(rounds, ours, theirs)


def restore_figure(game, switch, rounds):
    names = " -o ".join(f"-iname '{pattern}'" for pattern in CLEAN_OUT)
    by_hand = f"find . -maxdepth 1 -type f \\( {names} \\) -delete && cp -f KRS/* . && sync -f ."

    def ours():
        reset(game, "jov", switch)
        return timed([switch, "-C", game, "restore"])

    def theirs():
        reset(game, "jov", switch)
        return timed(["sh", "-c", by_hand], cwd=game)

    return side_by_side(rounds, ours, theirs)


def scaling_figures(small, large, switch, rounds):
    """Install time at 10x the files against 1x, for jov-switch and, as a yardstick of what
    the file system itself does with a larger folder, for cp."""
    def install(game):
        reset(game, "none")
        return timed([switch, "-C", game, "install", "jov"])

    def by_hand(game):
        reset(game, "none")
        return timed(["sh", "-c", "cp -f JOV/* ."], cwd=game)

    return (side_by_side(rounds, lambda: install(large), lambda: install(small)),
            side_by_side(rounds, lambda: by_hand(large), lambda: by_hand(small)))


def start_x_server():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                               "800x600x24", "-nolisten", "tcp", "-noreset"], pass_fds=[write_end],
                              stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        display = numbers.readline().strip()
    return server, ":" + display


def startup_figure(build, game, rounds, yardstick):
    server, display = start_x_server()
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
    watcher = os.path.join(build, "bench", "map_wait")

    def first_window(program):
        watch = subprocess.Popen([watcher], stdout=subprocess.PIPE, text=True, env=env)
        assert watch.stdout.readline().strip() == "ready"
        start = time.perf_counter()
        shown = subprocess.Popen([program], cwd=game, env=env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        line = watch.stdout.readline().strip()
        seconds = time.perf_counter() - start
        shown.kill()
        shown.wait()
        watch.wait()
        if line != "mapped":
            raise RuntimeError(f"{program} showed no window")
        return seconds

    try:
        return side_by_side(rounds,
                            lambda: first_window(os.path.join(build, "ui", "qt", "JOV_Enable")),
                            lambda: first_window(yardstick))
    finally:
        server.terminate()
        server.wait()


def file_system(folder):
    kind = subprocess.run(["stat", "-f", "-c", "%T", folder], capture_output=True,
                          text=True).stdout.strip()
    return kind.replace("ext2/ext3", "ext4") or "unknown"


def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return f"{model}, {os.cpu_count()} cores, Linux {platform.release()}"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build", "release"))
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--startup-rounds", type=int, default=41,
                        help="rounds of the start-up figure, which costs milliseconds a round")
    parser.add_argument("--startup-yardstick", default=None,
                        help="the program JOV_Enable's start-up is held against, such as an "
                        "earlier build of it (default: the minimal Qt window)")
    parser.add_argument("--seed", type=int, default=12)
    parser.add_argument("--files", type=int, default=3000)
    parser.add_argument("--megabytes", type=int, default=300)
    parser.add_argument("--workdir", default=None, help="where to make the game folders")
    parser.add_argument("--scaling-workdir",
                        default="/dev/shm" if os.path.isdir("/dev/shm") else None,
                        help="where to make the folders of the scaling figure")
    parser.add_argument("--only", nargs="*", default=["install", "restore", "scaling", "startup"])
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    switch = os.path.join(build, "cli", "jov-switch")
    work = tempfile.mkdtemp(prefix="jov-bench-", dir=args.workdir)
    generate = [sys.executable, os.path.join(HERE, "generate.py"), "--seed", str(args.seed)]
    rows = []
    extra = []
    try:
        game = os.path.join(work, "game")
        if {"install", "restore"} & set(args.only):
            quiet(generate + [game, "--files", str(args.files), "--megabytes",
                              str(args.megabytes)])
        if "install" in args.only:
            rows.append(("install: jov-switch install jov / cp -f && sync -f", 1.10,
                         install_figure(game, switch, args.rounds)))
        if "restore" in args.only:
            rows.append(("restore: jov-switch restore / find -delete + cp + sync -f", 1.10,
                         restore_figure(game, switch, args.rounds)))
        if "scaling" in args.only:
            # In memory where there is room, so that the figure shows this program's own
            # growth rather than the disk's.
            memory = args.scaling_workdir
            scaling = tempfile.mkdtemp(prefix="jov-bench-", dir=memory) if memory else work
            extra.append(scaling)
            small = os.path.join(scaling, "small")
            large = os.path.join(scaling, "large")
            for folder, files in ((small, args.files), (large, args.files * 10)):
                quiet(generate + [folder, "--files", str(files), "--megabytes",
                                  str(files * 10 // 1000), "--large-files", "0",
                                  "--stock-flt-mb", "1", "--stock-data-mb", "1"])
            ours, cp = scaling_figures(small, large, switch, args.rounds)
            where = file_system(scaling)
            rows.append((f"scaling: jov-switch install of {args.files * 10} / {args.files} "
                         f"small files ({where})", 11.0, ours))
            rows.append((f"scaling, for reference: cp -f of {args.files * 10} / {args.files} "
                         f"small files ({where})", None, cp))
        if "startup" in args.only:
            if shutil.which("Xvfb"):
                demo = os.path.join(work, "demo")
                quiet([os.path.join(HERE, "..", "tools", "make-demo-folder"), demo])
                with open(os.path.join(demo, "jovo.ini"), "wb") as state:
                    state.write(b'"none"\r\n')
                yardstick = args.startup_yardstick or os.path.join(build, "bench",
                                                                   "minimal_window")
                name = args.startup_yardstick or "minimal Qt window"
                rows.append((f"start-up: JOV_Enable / {name}, under Xvfb "
                             f"({args.startup_rounds} rounds)",
                             None if args.startup_yardstick else 1.5,
                             startup_figure(build, demo, args.startup_rounds, yardstick)))
            else:
                print("start-up not measured: Xvfb is not installed", file=sys.stderr)
    finally:
        for folder in [work] + extra:
            shutil.rmtree(folder, ignore_errors=True)

    print(f"Measured {time.strftime('%Y-%m-%d')} on {machine()}; {args.rounds} rounds after "
          f"a warm-up, seed {args.seed}, JOV set of {args.files} files, {args.megabytes} MB, "
          f"game folders on {file_system(args.workdir or tempfile.gettempdir())}.")
    print()
    print("| figure | ours (median s) | standard (median s) | ratio median | min | max "
          "| target | met |")
    print("|---|---|---|---|---|---|---|---|")
    missed = 0
    for name, target, (ours, theirs, ratios) in rows:
        ratio = statistics.median(ratios)
        met = target is None or ratio <= target
        missed += not met
        goal = "-" if target is None else f"<= {target:.2f}"
        verdict = "-" if target is None else ("yes" if met else "NO")
        print(f"| {name} | {statistics.median(ours):.3f} | {statistics.median(theirs):.3f} "
              f"| {ratio:.2f} | {min(ratios):.2f} | {max(ratios):.2f} | {goal} | {verdict} |")
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
