#!/usr/bin/env bash
# The Windows packages as a player meets them: the ZIP holds the two programs and the note; the
# installer, run silently under Wine, puts them into the chosen game folder with a Start-menu
# shortcut that starts in that folder; the uninstaller takes away only what was installed.
# Usage: windows_package_test.sh BUILD-FOLDER make-demo-folder wine-run WORK
set -euo pipefail
build=$(realpath "$1") demo=$(realpath "$2") wine_run=$(realpath "$3") work=$4
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
export WINEPREFIX=$work/wine-prefix
trap 'wineserver -k 2>/dev/null || true' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G "ZIP;NSIS" -B "$work/packages" >/dev/null
zip=$(echo "$work"/packages/*.zip) installer=$(echo "$work"/packages/*.exe)
[ "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = "JOV_Enable-README.txt JOV_Enable.exe jov-switch.exe " ] ||
    fail "the ZIP holds $(unzip -Z1 "$zip" | tr '\n' ' ')"
file "$installer" | grep -q 'PE32+ executable (GUI) x86-64' || fail "the installer is not 64-bit"

game=$work/Games/KRS
"$demo" "$game" >/dev/null
printf '"jov"\r\n' >"$game/jovo.ini"
before=$(cd "$game" && find . -type f -exec md5sum {} + | sort)
"$wine_run" "$installer" /S "/D=Z:${game//\//\\}"
wineserver -w
for file in JOV_Enable.exe jov-switch.exe JOV_Enable-README.txt JOV_Enable-Uninstall.exe; do
    [ -f "$game/$file" ] || fail "$file was not installed"
done
shortcut=$(find "$WINEPREFIX/drive_c" -name 'JOV Enable-Disable.lnk')
[ -n "$shortcut" ] || fail "no Start-menu shortcut"
# The shortcut starts the program in the game folder: the folder is its working folder.
windows_game="Z:${game//\//\\}"
strings "$shortcut" | grep -qxF "$windows_game\\JOV_Enable.exe" || fail "the shortcut starts another program"
# (A link holds the working folder in UTF-16, after its length.)
strings -el "$shortcut" | folder=$windows_game awk '
    substr($0, length($0) - length(ENVIRON["folder"]) + 1) == ENVIRON["folder"] { found = 1 }
    END { exit !found }' ||
    fail "the shortcut does not start in the game folder"

"$wine_run" "Z:${game//\//\\}\\JOV_Enable-Uninstall.exe" /S
wineserver -w
[ "$(cd "$game" && find . -type f -exec md5sum {} + | sort)" = "$before" ] ||
    fail "the uninstaller left or took other files than its own"
[ -z "$(find "$WINEPREFIX/drive_c" -name '*.lnk' -path '*JOV Enable-Disable*')" ] || fail "the shortcut stayed"
echo "packages, installer and uninstaller as expected"
