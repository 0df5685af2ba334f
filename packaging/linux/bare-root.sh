#!/usr/bin/env bash
# A Linux as bare as the portable bundle promises to run on: a root folder holding the unpacked
# bundle in /home/player and, of this machine, only the libraries host-libraries.txt lets the
# bundle take from a player's system, what those need, the loader and one font. To try by hand
# what a player on another system meets, or why a library is missing there. Needs root.
# Usage: bare-root.sh make TARBALL ROOT        (ROOT/.host-libraries lists what was copied)
#        bare-root.sh run ROOT COMMAND [ARG...] (with /proc and the host's X socket, in a mount
#                                               namespace of its own that ends with the command)
set -euo pipefail
list=$(dirname "$(realpath "$0")")/host-libraries.txt
libraries() { sed -n 's|^.* => \(/[^ ]*\) .*|\1|p'; }
allowed() { grep -Exq -f <(grep -v -e '^#' -e '^$' "$list") <<<"${1##*/}"; }

case ${1:-} in
make)
    tarball=$(realpath "$2") root=$3
    mkdir -p "$root"/{home/player,proc,dev,tmp/.X11-unix,tmp/run} && chmod 1777 "$root/tmp"
    chmod 700 "$root/tmp/run" && tar -xzf "$tarball" -C "$root/home/player"
    bundle=$(realpath "$root/home/player/$(basename "$tarball" .tar.gz)")
    find "$bundle" -type f -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -exec ldd {} \; |
        libraries | grep -v "^$bundle/" | sort -u | while read -r library; do
        ! allowed "$library" || { echo "$library" && ldd "$library" | libraries; }
    done | sort -u >"$root/.host-libraries"
    for path in $(cat "$root/.host-libraries") /lib64/ld-linux-x86-64.so.2 /etc/fonts \
        /usr/share/fonts/truetype/dejavu; do
        mkdir -p "$root$(dirname "$path")" && cp -rL "$path" "$root$path"
    done
    [ -e "$root/dev/null" ] || mknod -m 666 "$root/dev/null" c 1 3
    ;;
run)
    root=$(realpath "$2") && shift 2
    exec env -i PATH=/usr/sbin:/usr/bin HOME=/home/player DISPLAY="${DISPLAY:-}" \
        XDG_RUNTIME_DIR=/tmp/run unshare -m sh -c 'mount -t proc proc "$0/proc" &&
            mount --bind /tmp/.X11-unix "$0/tmp/.X11-unix" && exec chroot "$0" "$@"' "$root" "$@"
    ;;
*)
    sed -n 's/^# Usage: /Usage: /p;s/^#        /       /p' "$0" >&2
    exit 2
    ;;
esac
