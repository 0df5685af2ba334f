#!/usr/bin/env bash
# Counts the system calls of one install and one restore of a JOV set of 2,000 files, as
# strace -f -c sees them; prints each command's status calls, opens and deletes, and the status
# calls per file of the set.
# Usage: bench/syscalls.sh path/to/jov-switch [files]
set -euo pipefail
switch=$1
files=${2:-2000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$(dirname "$0")/generate.py" "$work/game" --files "$files" --megabytes 20 --large-files 0 \
    --stock-flt-mb 1 --stock-data-mb 1
printf '"none"\r\n' >"$work/game/jovo.ini"
for command in "install jov" restore; do
    # shellcheck disable=SC2086
    strace -f -c -o "$work/counts" "$switch" -C "$work/game" $command >/dev/null
    awk -v command="$command" -v files="$files" '
        $NF ~ /^(newfstatat|statx|fstat|lstat|stat)$/ { status += $4 }
        $NF == "openat" { opens = $4 } $NF ~ /^unlink/ { deletes += $4 }
        END { printf "%-12s status calls %6d (%.1f per file)  openat %6d  unlink %6d\n",
              command, status, status / files, opens, deletes }' "$work/counts"
done
