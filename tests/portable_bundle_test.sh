#!/usr/bin/env bash
# The portable bundle as a player on another Linux system meets it. Unpacked into a bare root
# that holds nothing but the libraries the bundle may take from the system (host-libraries.txt)
# and what those need, copied from this machine, jov-switch finds, installs and restores there
# and the window shows on the host's X server. install.sh's entry starts the folder chooser.
# Usage: portable_bundle_test.sh BUILD-FOLDER BUNDLE-NAME MAKE-DEMO-FOLDER WORK
set -euo pipefail
build=$(realpath "$1") name=$2 make_demo=$(realpath "$3") work=$4
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work" && mkdir -p "$work"/{root/home/player,root/tmp,out} && work=$(realpath "$work")
# What the bundle may take from the system, and no more: glibc, GCC's C++ runtime, GL, the X
# client libraries, fontconfig and freetype (host-libraries.txt may say less, never more).
allowed() {
    grep -Exq 'ld-linux-x86-64\.so\.2|lib(c|m|mvec|dl|pthread|rt|resolv|util|anl|stdc\+\+|gcc_s)\.so\.[0-9]+|lib(GL|EGL|GLX|GLdispatch|OpenGL|X11|X11-xcb|Xau|Xdmcp|Xext|Xrender|SM|ICE|fontconfig|freetype)\.so\.[0-9]+|libxcb(-[a-z0-9]+)?\.so\.[0-9]+' <<<"${1##*/}" &&
        [[ ! ${1##*/} =~ ^libxcb-(icccm|image|keysyms|render-util|util|cursor|ewmh)\. ]]
}

cmake --build "$build" --target linux-portable >/dev/null
echo "the bundle: $(stat -c %s "$build/$name.tar.gz") bytes packed"
root=$work/root bundle=/home/player/$name
tar -xzf "$build/$name.tar.gz" -C "$root/home/player"
here=$root$bundle
echo "unpacked: $(du -s --block-size=1 "$here" | cut -f1) bytes"
for file in JOV_Enable jov-switch qt.conf install.sh README.txt LICENSE.txt jov-enable.desktop \
    jov-enable.png plugins/platforms/libqxcb.so; do
    [ -f "$here/$file" ] || fail "the bundle lacks $file"
done
# Qt's modules: the three the window uses, the xcb platform's, and D-Bus, which Qt's Gui links.
qt=$(cd "$here/lib" && echo libQt6*)
[ "$qt" = "libQt6Core.so.6 libQt6DBus.so.6 libQt6Gui.so.6 libQt6Widgets.so.6 libQt6XcbQpa.so.6" ] ||
    fail "Qt modules: $qt"

# Each ELF file of the bundle names only libraries of the bundle or of the allowed set, and
# finds the bundle's through an RPATH that starts at its own place.
mapfile -t elves < <(cd "$here" && find . -type f -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -printf '%P\n')
for elf in "${elves[@]}"; do
    dynamic=$(readelf -d -W "$here/$elf")
    for library in $(sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' <<<"$dynamic"); do
        [ -f "$here/lib/$library" ] || allowed "$library" || fail "$elf needs $library from the system"
        [ "$elf" != jov-switch ] || allowed "$library" || fail "jov-switch needs the bundle's $library"
        [ -f "$here/lib/$library" ] || continue
        grep -q '(RPATH).*\[\$ORIGIN' <<<"$dynamic" || fail "$elf finds $library without an RPATH"
    done
done

if [ "$(id -u)" != 0 ]; then
    echo "SKIP: the bare root needs root (chroot, mounts); the bundle's files were checked"
    exit 77
fi

# The root: the allowed libraries the bundle's files reach on this machine, what those need in
# turn, the loader, the font configuration and one font family.
for elf in "${elves[@]}"; do ldd "$here/$elf"; done |
    sed -n 's/^.* => \(\/[^ ]*\) .*/\1/p' | sort -u | grep -v "^$here/" >"$work/out/reached"
while read -r library; do allowed "$library" && echo "$library" && ldd "$library" |
    sed -n 's/^.* => \(\/[^ ]*\) .*/\1/p'; done <"$work/out/reached" | sort -u >"$work/out/host"
for path in $(cat "$work/out/host") /lib64/ld-linux-x86-64.so.2 /etc/fonts \
    /usr/share/fonts/truetype/dejavu; do
    mkdir -p "$root$(dirname "$path")" && cp -rL "$path" "$root$path"
done
mkdir -p "$root"/{proc,dev,tmp/.X11-unix,tmp/run} && chmod 1777 "$root/tmp" && chmod 700 "$root/tmp/run"
mknod -m 666 "$root/dev/null" c 1 3
# Runs a command in the bare root, in a mount namespace of its own that ends with it.
inside() {
    env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/home/player DISPLAY="${display:-}" XDG_RUNTIME_DIR=/tmp/run \
        unshare -m sh -c 'mount -t proc proc "$0/proc" && mount --bind /tmp/.X11-unix "$0/tmp/.X11-unix" &&
                          exec chroot "$0" "$@"' "$root" "$@"
}

# The loader in the root finds every library, the allowed ones nowhere but outside the bundle.
for elf in "${elves[@]}"; do
    listed=$(inside /lib64/ld-linux-x86-64.so.2 --list "$bundle/$elf") || fail "$elf: $listed"
    while read -r library path; do
        if [ -f "$here/lib/$library" ]; then
            [ "$(realpath -m "$root$path")" = "$here/lib/$library" ] || fail "$elf: $library from $path"
        else
            grep -qxF "$path" "$work/out/host" || fail "$elf: $library from $path"
        fi
    done < <(sed -n 's/^\s*\([^ ]*\) => \([^ ]*\) .*/\1 \2/p' <<<"$listed")
done

game=/home/player/.wine/drive_c/Games/KRS
"$make_demo" "$root$game" >/dev/null
version=${name#jov-enable-}
said=$(inside "$bundle/jov-switch" --version) && [ "$said" = "jov-switch ${version%-linux-x86_64}" ] ||
    fail "jov-switch --version: $said"
said=$(inside "$bundle/jov-switch" find) && grep -qF "$game" <<<"$said" || fail "find: $said"
inside "$bundle/jov-switch" -C "$game" install jov >/dev/null && [ -f "$root$game/HURR.FLT" ] ||
    fail "the install"
inside "$bundle/jov-switch" -C "$game" restore >/dev/null && [ ! -e "$root$game/HURR.FLT" ] &&
    [ "$(cat "$root$game/jovo.ini")" = $'"none"\r' ] || fail "the restore"

# The window on the host's X server, through its socket.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/out/display" 2>/dev/null &
xvfb=$!
trap 'kill -9 ${window:-} $xvfb 2>/dev/null; true' EXIT
for _ in $(seq 300); do [ -s "$work/out/display" ] && break; sleep 0.1; done
display=:$(cat "$work/out/display")
inside "$bundle/JOV_Enable" "$game" >"$work/out/window" 2>&1 &
window=$!
DISPLAY=$display timeout 30 xdotool search --sync --onlyvisible --name '^JOV Enable/Disable ' \
    >/dev/null || fail "the window did not show: $(cat "$work/out/window")"
DISPLAY=$display import -window root "$work/window-in-bare-root.png"
kill "$window" && wait "$window" 2>/dev/null || true
window=
echo "the window in the bare root: $work/window-in-bare-root.png"

# install.sh, in a folder whose name has a blank, writes the entry and the icon and nothing
# else; the entry, started as the menu starts it, asks for the game folder.
player=$work/player && mkdir -p "$player/My Games"
cp -a "$here" "$player/My Games/"
(cd / && HOME=$player "$player/My Games/$name/install.sh" >/dev/null) || fail "install.sh"
written=$(cd "$player" && find .local -type f | sort | tr '\n' ' ')
[ "$written" = ".local/share/applications/jov-enable.desktop .local/share/icons/hicolor/32x32/apps/jov-enable.png " ] ||
    fail "install.sh wrote: $written"
entry=$player/.local/share/applications/jov-enable.desktop
said=$(desktop-file-validate "$entry" 2>&1) && [ -z "$said" ] || fail "the entry: $said"
HOME=$player XDG_CONFIG_HOME=$player/.config DISPLAY=$display gio launch "$entry" 2>"$work/out/menu" &
chooser=$(DISPLAY=$display timeout 30 xdotool search --sync --onlyvisible \
    --name '^Find the KRS 1.2 game folder$' getwindowpid) || fail "no chooser: $(cat "$work/out/menu")"
[ "$(readlink "/proc/$chooser/exe")" = "$player/My Games/$name/JOV_Enable" ] || fail "started: $chooser"
DISPLAY=$display xdotool search --onlyvisible --name '^Find the KRS 1.2 game folder$' windowfocus --sync
DISPLAY=$display xdotool key Escape
timeout 30 tail --pid="$chooser" -f /dev/null || fail "Cancel did not end the program"
(HOME=$player "$player/My Games/$name/install.sh" --remove >/dev/null)
[ -z "$(cd "$player" && find .local -type f)" ] || fail "install.sh --remove left files"
echo "the bundle runs in a bare root, and its menu entry starts the folder chooser"
