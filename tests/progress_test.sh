#!/usr/bin/env bash
# jov-switch's progress line: with standard error on a terminal (script's pseudo-terminal) it
# shows, is redrawn at most ten times a second and is cleared at the end; piped, it never shows.
# Usage: progress_test.sh JOV_SWITCH WORK
set -euo pipefail
switch=$(realpath "$1") work=$2
rm -rf "$work" && mkdir -p "$work/game/KRS" "$work/game/JOV" && cd "$work/game"
echo x >KRS/FLT.CDF && echo x >JOV/PANEL.DAT
for i in $(seq 100 399); do head -c 10000 /dev/zero >"JOV/F$i.FLT"; done
export JOV_SWITCH_PROGRESS_DELAY=0
fail() { echo "FAIL: $*"; exit 1; }
stock() { rm -f ./*.FLT ./*.DAT && printf '"none"\r\n' >jovo.ini; }

stock
start=$(date +%s%N)
err=$(script -qefc "'$switch' install jov 2>&1 >/dev/null" /dev/null) || fail "status $?"
ms=$((($(date +%s%N) - start) / 1000000))
lines=$(grep -o $'\rjov-switch: [0-9]*/301 files, [0-9.]*/3.0 MB' <<<"$err" | wc -l)
[ "$lines" -ge 1 ] || fail "no line of 301 files and 3.0 MB: $(cat -A <<<"$err")"
[ "$lines" -le $((2 + ms / 100)) ] || fail "$lines lines in $ms ms: more than ten a second"
# What the terminal shows last: each carriage return writes over the line from its start.
shown=$(printf %s "$err" |
    awk -v RS='\r' '{ line = $0 substr(line, length($0) + 1) } END { print line }')
[ -z "${shown// /}" ] || fail "the line stands at the end: $shown"

stock
err=$("$switch" install jov 2>&1 >/dev/null) || fail "piped: status $?"
[[ $err != *files,* ]] || fail "piped: $err"
