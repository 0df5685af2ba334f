#!/bin/sh
# Puts JOV Enable-Disable in the desktop's menu: its entry and its icon in your home folder's
# share folder, nothing else, no root. Run it again after moving this folder.
# Usage: ./install.sh            add the entry and the icon
#        ./install.sh --remove   take them out again
set -eu
here=$(cd "$(dirname "$0")" && pwd -P)
data=${XDG_DATA_HOME:-$HOME/.local/share}
entry=$data/applications/jov-enable.desktop
icon=$data/icons/hicolor/32x32/apps/jov-enable.png

case ${1:-} in
--remove)
    rm -f "$entry" "$icon"
    echo "Removed JOV Enable-Disable from the menu."
    exit 0
    ;;
"") ;;
*)
    echo "Usage: $0 [--remove]" >&2
    exit 2
    ;;
esac

# The entry names the program by its full path, in quotes; a desktop entry cannot say these
# characters there without escapes that menus read differently.
case $here in
*[\"\`\$\\%]* | *'
'*)
    echo "Move this folder to a path without \" \` \$ \\ % or line breaks, then run $0 again." >&2
    exit 1
    ;;
esac

mkdir -p "$(dirname "$entry")" "$(dirname "$icon")"
cp "$here/jov-enable.png" "$icon"
while IFS= read -r line; do
    case $line in
    'Exec=JOV_Enable '*)
        printf 'TryExec=%s\n' "$here/JOV_Enable"
        printf 'Exec="%s" %s\n' "$here/JOV_Enable" "${line#Exec=JOV_Enable }"
        ;;
    *) printf '%s\n' "$line" ;;
    esac
done <"$here/jov-enable.desktop" >"$entry"
echo "JOV Enable-Disable is in the menu (Games). It starts $here/JOV_Enable."
