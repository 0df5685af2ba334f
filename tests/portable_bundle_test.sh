#!/usr/bin/env bash
# The portable bundle in a bare root (packaging/linux/bare-root.sh), the window on the host's X
# server; install.sh's menu entry starts the folder chooser.
# Usage: portable_bundle_test.sh BUILD-FOLDER BUNDLE-NAME MAKE-DEMO-FOLDER BARE-ROOT WORK
set -euo pipefail
build=$(realpath "$1") name=$2 make_demo=$(realpath "$3") bare_root=$(realpath "$4") work=$5
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work" && mkdir -p "$work"/{files,out} && work=$(realpath "$work")
allowed() { # glibc, GCC's C++ runtime, GL, Xlib, libxcb and its own extensions, fontconfig, freetype
    grep -Exq 'ld-linux-x86-64\.so\.2|lib(c|m|mvec|dl|pthread|rt|resolv|util|anl|stdc\+\+|gcc_s)\.so\.[0-9]+|lib(GL|EGL|GLX|GLdispatch|OpenGL|X11|X11-xcb|Xau|Xdmcp|Xext|Xrender|SM|ICE|fontconfig|freetype)\.so\.[0-9]+|libxcb(-(dri[23]|glx|present|randr|render|shape|shm|sync|xfixes|xinerama|xinput|xkb))?\.so\.[0-9]+' <<<"${1##*/}"
}
cmake --build "$build" --target linux-portable >/dev/null
tar -xzf "$build/$name.tar.gz" -C "$work/files" && here=$work/files/$name
echo "the bundle: $(stat -c %s "$build/$name.tar.gz") bytes, $(du -sb "$here" | cut -f1) unpacked"
# Each ELF file names libraries of the allowed set or of lib/, found through an RPATH from $ORIGIN.
mapfile -t elves < <(cd "$here" && find . -type f -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -printf '%P\n')
for elf in "${elves[@]}"; do
    dynamic=$(readelf -d -W "$here/$elf")
    for library in $(sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' <<<"$dynamic"); do
        allowed "$library" || { [ -f "$here/lib/$library" ] && [ "$elf" != jov-switch ] &&
            grep -q '(RPATH).*\[\$ORIGIN' <<<"$dynamic"; } || fail "$elf needs $library (RPATH?)"
    done
done
[ "$(id -u)" = 0 ] || { echo "SKIP: the bare root needs root; the bundle's files were checked"; exit 77; }

root=$work/root bundle=/home/player/$name && "$bare_root" make "$build/$name.tar.gz" "$root"
inside() { "$bare_root" run "$root" "$@"; }
for elf in "${elves[@]}"; do # the root's loader finds every library in the bundle or the root's
    listed=$(inside /lib64/ld-linux-x86-64.so.2 --list "$bundle/$elf" 2>&1) || fail "$elf: $listed"
    ! sed -n 's/^.* => \([^ ]*\) .*/\1/p' <<<"$listed" | grep -v "^$bundle/" |
        grep -vxqFf "$root/.host-libraries" || fail "$elf: $listed"
done
game=/home/player/.wine/drive_c/Games/KRS && "$make_demo" "$root$game" >/dev/null && version=${name#jov-enable-}
[ "$(inside "$bundle/jov-switch" --version)" = "jov-switch ${version%-linux-x86_64}" ] || fail "--version"
inside "$bundle/jov-switch" find | grep -qF "$game" || fail "find"
inside "$bundle/jov-switch" -C "$game" install jov >/dev/null && [ -f "$root$game/HURR.FLT" ] || fail "install"
inside "$bundle/jov-switch" -C "$game" restore >/dev/null && [ ! -e "$root$game/HURR.FLT" ] || fail "restore"

exec 3< <(exec Xvfb -displayfd 1 -screen 0 800x600x24 -nolisten tcp 2>/dev/null) && xvfb=$!
trap 'kill -9 $(jobs -p) $xvfb 2>/dev/null; true' EXIT
read -r number <&3 && export DISPLAY=:$number
inside "$bundle/JOV_Enable" "$game" >"$work/out/window" 2>&1 &
timeout 30 xdotool search --sync --onlyvisible --name '^JOV Enable/Disable ' >/dev/null ||
    fail "the window did not show: $(cat "$work/out/window")"
import -window root "$work/window-in-bare-root.png" && echo "the window: $work/window-in-bare-root.png"

# install.sh, in a folder whose name has a blank, writes the entry and the icon, nothing else.
player=$work/player && mkdir -p "$player/My Games" && cp -a "$here" "$player/My Games/"
(cd / && HOME=$player "$player/My Games/$name/install.sh" >/dev/null) || fail "install.sh"
written=$(cd "$player/.local/share" && find . -type f | sort | xargs)
[ "$written" = "./applications/jov-enable.desktop ./icons/hicolor/32x32/apps/jov-enable.png" ] ||
    fail "install.sh wrote: $written"
HOME=$player XDG_CONFIG_HOME=$player/.config gio launch "$player/.local/share/applications/jov-enable.desktop" &
chooser=$(timeout 30 xdotool search --sync --onlyvisible --name '^Find the KRS 1.2 game folder$' getwindowpid) &&
    [ "$(readlink "/proc/$chooser/exe")" = "$player/My Games/$name/JOV_Enable" ] || fail "the entry: ${chooser:-}"
HOME=$player "$player/My Games/$name/install.sh" --remove >/dev/null
[ -z "$(cd "$player" && find .local -type f)" ] || fail "install.sh --remove left files"
