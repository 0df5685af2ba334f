#!/usr/bin/env python3
"""Packs the portable Linux bundle: one folder, as a .tar.gz, holding the programs, the Qt plugins
they load and every library these need except those the player's system provides
(host-libraries.txt), plus the files given with --file.

The programs find the bundle's libraries, and the libraries each other, through RPATHs relative
to their own place ($ORIGIN). They are DT_RPATH, not DT_RUNPATH: the loader searches them before
LD_LIBRARY_PATH, so a launcher's library path (Steam's runtime sets one) cannot swap a library
of the bundle for another of the same name.

Usage: make_bundle.py OUT.tar.gz --host-libraries LIST --program FILE... --plugin KIND=FILE...
                      --file FILE[=NAME]... [--strip STRIP] [--patchelf PATCHELF]
"""
import argparse
import os
import re
import shutil
import subprocess
import tarfile
import tempfile
from pathlib import Path


def host_libraries(listing):
    lines = (line.strip() for line in Path(listing).read_text().splitlines())
    return [re.compile(line) for line in lines if line and not line.startswith("#")]


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def needed(elf):
    """The libraries elf names itself (DT_NEEDED), not those they need in turn."""
    return re.findall(r"\(NEEDED\)\s+Shared library: \[([^]]+)\]", run("readelf", "-d", "-W", elf))


def found_on_this_machine(elf):
    """Where this machine's loader finds each library elf needs, directly or through others."""
    found = {}
    for name, path in re.findall(r"^\s*(\S+) => (.+?)(?: \(0x[0-9a-f]+\))?$", run("ldd", elf), re.M):
        if path == "not found":
            raise SystemExit(f"{elf} needs {name}, which this machine does not have")
        found[name] = path
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", type=Path)
    parser.add_argument("--host-libraries", required=True)
    parser.add_argument("--program", action="append", default=[])
    parser.add_argument("--plugin", action="append", default=[], help="KIND=FILE")
    parser.add_argument("--file", action="append", default=[], help="FILE[=NAME]")
    parser.add_argument("--strip", default="strip")
    parser.add_argument("--patchelf", default="patchelf")
    args = parser.parse_args()
    from_host = host_libraries(args.host_libraries)
    name = args.output.name.removesuffix(".tar.gz")

    with tempfile.TemporaryDirectory(dir=args.output.parent) as staging:
        top = Path(staging, name)
        lib = top / "lib"
        lib.mkdir(parents=True)
        # Each ELF file placed, with the RPATH that leads it from its place to lib/.
        placed = {}
        for program in args.program:
            placed[shutil.copy(program, top)] = "$ORIGIN/lib"
            run(args.strip, "--strip-all", str(top / Path(program).name))
        for plugin in args.plugin:
            kind, path = plugin.split("=", 1)
            (top / "plugins" / kind).mkdir(parents=True, exist_ok=True)
            placed[shutil.copy(path, top / "plugins" / kind)] = "$ORIGIN/../../lib"

        where = {}
        for elf in placed:
            where.update(found_on_this_machine(elf))
        # A library is taken in when a file of the bundle names it and the system is not to
        # provide it; what the system's own libraries need is the system's.
        pending = list(placed)
        while pending:
            elf = pending.pop()
            for library in needed(elf):
                if any(allowed.fullmatch(library) for allowed in from_host):
                    continue
                if not (lib / library).exists():
                    shutil.copyfile(where[library], lib / library)
                    placed[str(lib / library)] = "$ORIGIN"
                    pending.append(str(lib / library))
        for elf, rpath in placed.items():
            if any((lib / library).exists() for library in needed(elf)):
                run(args.patchelf, "--force-rpath", "--set-rpath", rpath, elf)

        # Each bundled library's copyright and licence, as the Debian package it came from has it.
        licences = top / "licences"
        licences.mkdir()
        for owner in run("dpkg-query", "-S", *(Path(where[n]).name for n in os.listdir(lib))).splitlines():
            package, path = owner.split(": ", 1)
            if Path(path).name in os.listdir(lib):
                package = package.split(":")[0]
                shutil.copy(f"/usr/share/doc/{package}/copyright", licences / f"{package}.txt")

        for given in args.file:
            source, _, target = given.partition("=")
            shutil.copy(source, top / (target or Path(source).name))

        def owned_by_nobody(info):
            info.uid = info.gid = 0
            info.uname = info.gname = ""
            return info

        packing = Path(staging, args.output.name)
        with tarfile.open(packing, "w:gz") as tar:
            tar.add(top, arcname=name, filter=owned_by_nobody)
        packing.replace(args.output)


if __name__ == "__main__":
    main()
