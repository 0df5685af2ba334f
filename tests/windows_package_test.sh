#!/usr/bin/env bash
# The Windows packages as a player meets them: the ZIP, the programs' hardening, and, run silently
# under Wine, the installer for the player or all users, and the uninstaller, taking only its own.
# Usage: windows_package_test.sh BUILD-FOLDER make-demo-folder wine-run WORK
set -euo pipefail
build=$(realpath "$1") demo=$(realpath "$2") wine_run=$(realpath "$3") work=$4
source=$(realpath "$(dirname "$0")/..")
closed=$work/Games/Closed
chattr -i "$closed" 2>/dev/null || true
rm -rf "$work" && mkdir -p "$work" && work=$(realpath "$work") closed=$(realpath -m "$closed")
export WINEPREFIX=$work/wine-prefix
trap 'chattr -i "$closed" 2>/dev/null; wineserver -k 2>/dev/null || true' EXIT
fail() { echo "FAIL: $*"; exit 1; }
wine_wait() { local status=0; "$wine_run" "$@" || status=$?; wineserver -w; return $status; }

cpack --config "$build/CPackConfig.cmake" -G "ZIP;NSIS" -B "$work/packages" >/dev/null
zip=$(echo "$work"/packages/*.zip) installer=$(echo "$work"/packages/*.exe)
[ "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = \
    "JOV_Enable-LICENSE.txt JOV_Enable-README.txt JOV_Enable.exe jov-switch.exe " ] ||
    fail "the ZIP holds $(unzip -Z1 "$zip" | tr '\n' ' ')"
unzip -q "$zip" -d "$work/zip"
cmp -s <(sed 's/$/\r/' "$source/LICENSE") "$work/zip/JOV_Enable-LICENSE.txt" ||
    fail "the ZIP's licence is not LICENSE with Windows' line ends"
page=$(sed -n 's/^ *!insertmacro MUI_PAGE_LICENSE "\(.*\)"$/\1/p' \
    "$work/packages/_CPack_Packages/win64/NSIS/project.nsi")
[ -n "$page" ] && cmp -s "$page" "$work/zip/JOV_Enable-LICENSE.txt" ||
    fail "the installer's licence page shows ${page:-nothing}"
file "$installer" | grep -q 'PE32+ executable (GUI) x86-64' || fail "the installer is not 64-bit"

for program in JOV_Enable.exe jov-switch.exe; do
    marks=$(x86_64-w64-mingw32-objdump -p "$work/zip/$program" |
        sed -n '/^DllCharacteristics/,/^SizeOfStackReserve/p')
    for mark in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
        grep -qw "$mark" <<<"$marks" || fail "$program is not marked $mark"
    done
done
# The shipped programs are stripped; the built ones show that our code reads the stack guard.
for built in ui/win32/JOV_Enable.exe cli/jov-switch.exe; do
    [[ $(x86_64-w64-mingw32-nm "$build/$built") == *" .refptr.__stack_chk_guard"* ]] ||
        fail "$built has no stack guard"
done

game=$work/Games/KRS
windows_game="Z:${game//\//\\}"
"$demo" "$game" >/dev/null
printf '"jov"\r\n' >"$game/jovo.ini"
before=$(cd "$game" && find . -type f -exec md5sum {} + | sort)
uninstall_key='[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\JOV Enable-Disable]'

# The shortcut lands below drive_c/$1, the "Apps" entry in the registry file $2; $3: an option.
install_and_uninstall() {
    local where=$1 registry=$2 option=${3:-} shortcut
    wine_wait "$installer" /S ${option:+"$option"} "/D=$windows_game"
    for file in JOV_Enable.exe jov-switch.exe JOV_Enable-{README.txt,LICENSE.txt,Uninstall.exe}; do
        [ -f "$game/$file" ] || fail "$file was not installed"
    done
    shortcut=$(find "$WINEPREFIX/drive_c" -name 'JOV Enable-Disable.lnk')
    [[ $shortcut == "$WINEPREFIX/drive_c/$where/"* ]] || fail "the shortcut is at ${shortcut:-no place}"
    grep -qF "$uninstall_key" "$WINEPREFIX/$registry" || fail "no entry in Apps in $registry"
    # The shortcut starts the program in the game folder: the folder is its working folder.
    strings "$shortcut" | grep -qxF "$windows_game\\JOV_Enable.exe" || fail "the shortcut starts another program"
    # (A link holds the working folder in UTF-16, after its length.)
    strings -el "$shortcut" | folder=$windows_game awk '
        substr($0, length($0) - length(ENVIRON["folder"]) + 1) == ENVIRON["folder"] { found = 1 }
        END { exit !found }' ||
        fail "the shortcut does not start in the game folder"

    wine_wait "$windows_game\\JOV_Enable-Uninstall.exe" /S
    [ "$(cd "$game" && find . -type f -exec md5sum {} + | sort)" = "$before" ] ||
        fail "the uninstaller left or took other files than its own"
    [ -z "$(find "$WINEPREFIX/drive_c" -name 'JOV Enable-Disable.lnk')" ] || fail "the shortcut stayed"
    ! grep -qF "$uninstall_key" "$WINEPREFIX/user.reg" "$WINEPREFIX/system.reg" ||
        fail "the entry in Apps stayed"
}
install_and_uninstall "users/$(id -un)" user.reg
install_and_uninstall ProgramData system.reg /ALLUSERS

# Into a game folder closed to it (immutable binds root too), a silent install writes nothing.
mkdir -p "$closed"
touch "$closed/FLT.CDF"
if chattr +i "$closed" 2>/dev/null; then
    status=0 && wine_wait "$installer" /S "/D=Z:${closed//\//\\}" || status=$?
    chattr -i "$closed"
    [ $status -eq 5 ] || fail "a silent install into a closed folder ended with $status"
    [ "$(ls "$closed")" = FLT.CDF ] || fail "a silent install wrote into a closed folder"
else
    echo "NOT CHECKED: a silent install into a closed folder (chattr +i needs root and ext4)"
fi
echo "packages, installer and uninstaller as expected"
