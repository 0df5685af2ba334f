#!/usr/bin/env bash
# JOV_Enable.exe under Wine in a virtual display, clicked as a player would with xdotool.
# Screenshots are left in WORK.
# Usage: windows_window_test.sh JOV_Enable.exe make-demo-folder wine-run WORK
set -euo pipefail
exe=$(realpath "$1") demo=$(realpath "$2") wine_run=$(realpath "$3") work=$4
fail() { echo "FAIL: $*"; import -window root "$work/failure.png" || true; exit 1; }
for tool in Xvfb xdotool import; do command -v $tool >/dev/null || fail "no $tool"; done
chmod -R u+w "$work/game" 2>/dev/null || true
rm -rf "$work/game" && mkdir -p "$work" && work=$(realpath "$work")
# A prefix of its own: its desktop process belongs to this test's display, not to another's.
export WINEPREFIX=$work/wine-prefix
trap 'wineserver -k 2>/dev/null; kill ${xvfb:-} 2>/dev/null; true' EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=:$(cat "$work/display")
wineserver -k 2>/dev/null || true # one left from an earlier display

await() { for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done; return 1; }
state_is() { [ "$(cat jovo.ini 2>/dev/null)" = "\"$1\""$'\r' ]; }
window_named() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
running() { [ ! -e "$work/status" ]; }

# Starts the program in folder $1, made by make-demo-folder, and sees it record the stock set;
# sets the client area's corner (left, top), at 96 DPI, from the window's frame around 385 x 266.
start() {
    cd "$1"
    rm -f "$work/status"
    (status=0; "$wine_run" "$exe" >/dev/null 2>&1 || status=$?
     echo "$status" >"$work/status.new" && mv "$work/status.new" "$work/status") &
    await window_named "JOV Enable/Disable \\(KRS Flight Models\\)" || fail "no main window"
    main=$(xdotool search --onlyvisible --name "^JOV Enable/Disable")
    eval "$(xdotool getwindowgeometry --shell "$main")"
    border=$(((WIDTH - 385) / 2))
    left=$((X + border)) top=$((Y + HEIGHT - 266 - border))
    await state_is none || fail "first start recorded no stock set"
}
# Clicks the middle of a control given in twips (15 to the pixel) from the client area's corner.
click() { xdotool mousemove $((left + ($1 + $3 / 2) / 15)) $((top + ($2 + $4 / 2) / 15)) click 1; }
install_jov() { click 2880 360 2415 495; }
restore_stock() { click 2880 2760 2415 855; }
# The close button at the right of a title bar that Wine draws itself.
close_window() { xdotool mousemove $(($1 - 15)) $(($2 + 13)) click 1; }

# A player's round: install, restore, Help, a failure.
"$demo" "$work/game" >/dev/null
start "$work/game"
install_jov
await state_is jov || fail "Install JOV Panel did not install"
[ "$(xdotool getwindowname "$main")" = "JOV Enable/Disable (JOV Panel)" ] || fail "title"
grep -q "JOV Panel flight model HURR" HURR.FLT && [ -f PANEL.DAT ] || fail "JOV Panel files"
restore_stock
await state_is none || fail "KRS  Flight Models did not restore"
[ ! -e HURR.FLT ] && [ ! -e PANEL.DAT ] && grep -q "stock flight models" FLT.CDF || fail stock
xdotool key alt+h
await window_named Help || fail "Alt+H showed no help"
help=$(xdotool search --onlyvisible --name "^Help\$")
sleep 0.5
import -window root "$work/help.png"
eval "$(xdotool getwindowgeometry --shell "$help")"
close_window $((X + WIDTH)) "$Y"
await eval '! window_named Help' || fail "the help window stayed"
import -window root "$work/main.png"
# A failure: the guard's box, then the program ends with status 3 and records nothing.
install_jov
await state_is jov || fail "Install JOV Panel did not install again"
chmod a-w HURR.FLT # read-only, as Wine shows it
restore_stock
await window_named "JOV Enable-Disable" || fail "no failure box"
sleep 0.5
import -window root "$work/failure-box.png"
xdotool key Return
await eval '! running' || fail "the program went on after the failure"
[ "$(cat "$work/status")" = 3 ] || fail "exit status $(cat "$work/status") after the failure"
state_is jov || fail "the state file changed after the failure"
