#!/usr/bin/env bash
# JOV_Enable started as the desktop starts it, on a virtual X display, the player's keys typed
# through xdotool. Outside the game folder it writes nothing but the folder chosen from the menu.
# Usage: desktop_test.sh JOV_Enable DESKTOP-ENTRY WORK
set -euo pipefail
program=$(realpath "$1") entry=$(realpath "$2") work=$3
fail() { echo "FAIL: $*"; exit 1; }
for tool in Xvfb xdotool; do command -v "$tool" >/dev/null || fail "$tool is not installed"; done
rm -rf "$work" && mkdir -p "$work"/{home,config,out} && work=$(realpath "$work")
game="$work/KRS Game"
mkdir -p "$game/krs" && mkdir -m 700 "$work/out/run"
echo stock >"$game/krs/flt.cdf" && echo "not a folder" >"$work/KRS_Game_file"
trap 'kill -9 ${window:-} ${xvfb:-} 2>/dev/null; true' EXIT
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/out/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 300); do [ -s "$work/out/display" ] && break; sleep 0.1; done
[ -s "$work/out/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/out/display") QT_QPA_PLATFORM=xcb HOME=$work/home \
    XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/out/cache XDG_RUNTIME_DIR=$work/out/run
export ASAN_OPTIONS=detect_leaks=0 # LeakSanitizer finds the display's D-Bus connection open

# The desktop entry's arguments, %f expanded to the file manager's folder, or to nothing.
exec_line=$(sed -n 's/^Exec=[^ ]* //p' "$entry")
entry_args() { for word in $exec_line; do [ "$word" != %f ] && echo "$word" || { [ -z "${1:-}" ] || echo "$1"; }; done; }

start() { (cd "$work/home" && exec "$program" "$@" >"$work/out/stdout" 2>"$work/out/stderr") & window=$!; }
start_entry() { mapfile -t args < <(entry_args "${1:-}"); start "${args[@]}"; }
ended() { status=0; wait "$window" || status=$?; window=; } # sets $status
# Waits for the window titled $1, gives it the keyboard, types $3 and presses $2.
answer() {
    timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" windowfocus --sync >/dev/null ||
        fail "$1 did not show"
    [ -z "${3:-}" ] || xdotool type --delay 1 "$3"
    xdotool key "$2"
}
# Whether the window started on the game folder and recorded the stock set; it is closed then.
started() {
    for _ in $(seq 1500); do [ -s "$game/jovo.ini" ] && break; sleep 0.02; done
    timeout 30 xdotool search --sync --onlyvisible --name "^JOV Enable/Disable [(]" >/dev/null
    kill -9 "$window" 2>/dev/null; wait "$window" 2>/dev/null || true; window=
    local state; state=$(cat "$game/jovo.ini" 2>/dev/null) && rm -f "$game/jovo.ini"
    [ "$state" = $'"none"\r' ]
}
outside() { (cd "$work" && find home config -mindepth 1 | sort && find home config -type f -exec cat {} +); }

# A folder on the command line: the window starts there, or refuses with the usage and status 2.
start "../KRS Game"
started || fail "a relative folder"
start_entry "$game"
started || fail "the file manager's folder"
while IFS='|' read -r refusal args; do
    read -ra words <<<"$args"
    start "${words[@]/#GAME/$game}"
    answer "JOV Enable-Disable" Return
    ended
    [ "$status" = 2 ] || fail "$args: status $status"
    grep -qF "$refusal" "$work/out/stderr" && grep -q "Usage: JOV_Enable" "$work/out/stderr" ||
        fail "$args: $(cat "$work/out/stderr")"
    [ ! -e "$game/jovo.ini" ] || fail "$args: a state file was written"
done <<'ROWS'
Too many arguments|GAME GAME
Unknown option "-platform"|-platform offscreen
No such file or directory|../KRS_Gam
Not a directory|../KRS_Game_file
ROWS
[ -z "$(outside)" ] || fail "written outside the game folder: $(outside)"

# From the menu, and on a folder without the game: Cancel ends the program and writes nothing.
for given in "" "$work/home"; do
    start_entry "$given"
    answer "Find the KRS 1.2 game folder" Escape
    ended
    [ "$status" = 0 ] || fail "Cancel: status $status"
    [ -z "$(outside)" ] && [ ! -e "$game/jovo.ini" ] || fail "Cancel wrote something"
done
# A folder chosen in the folder dialog is remembered, and offered first next time.
start_entry
answer "Find the KRS 1.2 game folder" alt+o
answer "Choose the KRS 1.2 game folder" Return "$game"
started || fail "the chosen folder"
grep -qF "$game" "$work/config/jov-enable/jov-enable.conf" || fail "the choice was not remembered"
remembered=$(outside)
start_entry
answer "Find the KRS 1.2 game folder" Return
started || fail "the folder offered"
[ "$(outside)" = "$remembered" ] || fail "more was written outside the game folder"
# A folder the player names is searched below the known places' depth, and its find offered.
other="$work/drive/a/b/c/d/e/KRS Other"
mkdir -p "$other/krs" && echo stock >"$other/krs/flt.cdf" && echo x >"$other/FLT.CDF"
start_entry
answer "Find the KRS 1.2 game folder" alt+a
answer "Search for the KRS 1.2 game folder in" Return "$work/drive"
sleep 1
answer "Find the KRS 1.2 game folder" Return
game=$other started || fail "the folder the search of a named folder found"
echo "the window starts where the desktop starts it, and writes nothing else"
