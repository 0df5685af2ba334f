#!/usr/bin/env bash
# The Debian package as a player installs it: files, checkers, hardening, manual and completion.
# Usage: debian_package_test.sh BUILD-FOLDER jov-switch WORK
set -euo pipefail
build=$(realpath "$1") switch=$(realpath "$2") work=$3
rm -rf "$work" && mkdir -p "$work" && work=$(realpath "$work")
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >/dev/null
deb=$(echo "$work"/*.deb)
listing=$(dpkg-deb -c "$deb")
for path in bin/JOV_Enable bin/jov-switch share/applications/jov-enable.desktop \
    share/icons/hicolor/32x32/apps/jov-enable.png share/man/man1/JOV_Enable.1.gz \
    share/man/man1/jov-switch.1.gz share/bash-completion/completions/jov-switch \
    share/metainfo/org.example.jov_enable.metainfo.xml share/doc/jov-enable/copyright \
    share/doc/jov-enable/changelog.gz; do
    grep -q " \./usr/$path\$" <<<"$listing" || fail "the package lacks $path"
done
dpkg-deb -x "$deb" "$work/root"

status=0 # Debian's package checker finds no error; what else it says is shown
said=$(lintian --display-info "$deb" 2>&1) || status=$?
said=$(grep -v 'running with root privileges' <<<"$said" || true)
[ $status -eq 0 ] || fail "lintian: $said"
echo "lintian: ${said:-nothing to remark}"
# The changelog's latest entry is this version's.
entry=$(zcat "$work/root/usr/share/doc/jov-enable/changelog.gz" | head -1)
[[ $entry == "jov-enable ($(dpkg-deb -f "$deb" Version)) "* ]] || fail "the changelog starts with: $entry"
# PIE, stack protector, read-only relocations bound at start, checked functions. JOV_Enable
# calls none of the checked functions with a buffer of known size, so they show in jov-switch.
for check in "jov-switch" "--nofortify JOV_Enable"; do
    said=$(cd "$work/root/usr/bin" && hardening-check --nocfprotection $check 2>&1) || fail "$said"
done
share=$work/root/usr/share
for check in "desktop-file-validate $share/applications/jov-enable.desktop" \
    "appstreamcli validate-tree --no-net $work/root" \
    "man --warnings -l $share/man/man1/JOV_Enable.1.gz" \
    "man --warnings -l $share/man/man1/jov-switch.1.gz"; do
    said=$($check 2>&1 >/dev/null) || fail "$check: $said"
    [ -z "$said" ] || fail "$check: $said"
done

# Every indented line of --help is in the manual, words in the same order.
manual=$(MANWIDTH=1000 LC_ALL=C man -l "$share/man/man1/jov-switch.1.gz" | tr -s ' \n' ' ')
while IFS= read -r line; do
    [[ $line == " "* ]] || continue
    words=$(tr -s ' ' ' ' <<<"${line# }")
    [[ $manual == *"$words"* ]] || fail "the manual lacks: $line"
done < <("$switch" --help)

# What completion offers for the last word of a command line.
offers() {
    bash -c 'source "$0" && COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) && _jov_switch &&
             echo "${COMPREPLY[*]}"' "$share/bash-completion/completions/jov-switch" "$@"
}
[ "$(offers jov-switch -C /tmp re)" = "restore remove" ] || fail "completion of re"
[ "$(offers jov-switch install j)" = "jov jovo" ] || fail "completion of a set"
[ "$(offers jov-switch --wait 3 remove '')" = "raf usaaf luftwaffe" ] || fail "completion of an air force"
[ "$(offers jov-switch status --j)" = "--json" ] || fail "completion of an option"
echo "the package holds what it should, and its validators, manual and completion agree"
