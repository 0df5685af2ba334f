#!/usr/bin/env bash
# The switcher's and the file layer's tables on exFAT through FUSE, which has no move that never
# replaces and none that swaps two files, so the fallbacks run. exFAT keeps no permissions and
# times to 10 ms: the rows about read-only files and copies made a moment apart are left out.
# Usage: exfat_test.sh core_tests work-folder
set -euo pipefail
tests=$1 work=$2
skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "needs root to mount an exFAT image"
command -v mount.exfat-fuse >/dev/null && command -v mkfs.exfat >/dev/null ||
    skip "needs exfat-fuse and exfatprogs"
rm -rf "$work" && mkdir -p "$work/mnt"
truncate -s 64M "$work/exfat.img"
mkfs.exfat "$work/exfat.img" >/dev/null
loop=$(losetup -f --show "$work/exfat.img" 2>/dev/null) || skip "this machine gives no loop device"
trap 'umount "$work/mnt" 2>/dev/null; losetup -d "$loop"' EXIT
mount.exfat-fuse "$loop" "$work/mnt" 2>/dev/null || skip "this machine mounts no FUSE file system"
TMPDIR=$work/mnt "$tests" --gtest_brief=1 \
    --gtest_filter='FileOpsTest.Moves*:Commands/*:*Crash*-*read_only*:*by_its_bytes*:*first_start_refused*'
