#!/usr/bin/env python3
"""Makes a KRS 1.2 game folder for benchmarks: a JOV set of many small flight-model, data and
string files and some large shape and cockpit files, and a stock folder with the two data
files. The same seed and sizes give the same folder, byte for byte."""

import argparse
import os
import random

MB = 1 << 20


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)


def make_set(folder, rng, files, megabytes, large_files):
    """`files` files of `megabytes` in all; `large_files` of them .3dz/.cpt of several MB."""
    total = megabytes * MB
    large_total = total * 7 // 10 if large_files else 0
    small_count = files - large_files
    small_total = total - large_total
    sizes = []
    for i in range(large_files):
        sizes.append((f"S{i:03d}.3DZ" if i % 2 == 0 else f"C{i:03d}.CPT",
                      large_total // large_files))
    kinds = [".FLT", ".FLT", ".DAT", ".STR"]
    average = small_total // small_count
    for i in range(small_count):
        size = max(64, int(average * rng.uniform(0.5, 1.5)))
        sizes.append((f"M{i:05d}{kinds[i % len(kinds)]}", size))
    for name, size in sizes:
        write(os.path.join(folder, name), rng.randbytes(size))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("game", help="the game folder to make")
    parser.add_argument("--seed", type=int, default=12)
    parser.add_argument("--files", type=int, default=3000, help="files in the JOV set")
    parser.add_argument("--megabytes", type=int, default=300, help="size of the JOV set")
    parser.add_argument("--large-files", type=int, default=30,
                        help="how many of the set's files are large .3dz and .cpt files")
    parser.add_argument("--stock-flt-mb", type=int, default=20)
    parser.add_argument("--stock-data-mb", type=int, default=60)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    make_set(os.path.join(args.game, "JOV"), rng, args.files, args.megabytes, args.large_files)
    write(os.path.join(args.game, "KRS", "FLT.CDF"), rng.randbytes(args.stock_flt_mb * MB))
    write(os.path.join(args.game, "KRS", "DATA.CDF"), rng.randbytes(args.stock_data_mb * MB))
    write(os.path.join(args.game, "KRS.EXE"), b"KRS 1.2 (placeholder)\n")


if __name__ == "__main__":
    main()
