#!/usr/bin/env bash
# The Windows part of ./test.sh: builds the client, its tests and its installer for Windows
# (scripts/windows/build.sh, which builds the libraries first when ~/.cache/cashier-windows/ does not have them),
# then under Wine, each in a new WINEPREFIX in a temporary folder:
#   - the unit and widget tests built for Windows (ctest, Wine as the cross-compiling emulator);
#   - the installed client end to end (tests/e2e/tst_windows_e2e.cpp, from the Linux test tree: it needs its
#     sandbox gateway), in a Windows account named in Chinese, with a second installer of a later version (the same
#     programs, one file fewer) for the upgrade, which the sandbox serves signed with the development key as the
#     vendor's site (and the version after it, changed after signing, to be refused).
# Usage: scripts/windows/test.sh [WINDOWS_BUILD_DIR] [LINUX_TEST_BUILD_DIR]   (build-windows-test, build-test)
# Needs DISPLAY (./test.sh's Xvfb). CASHIER_WINDOWS_SHOT=<file.png> keeps a screenshot of the signed-in client.
set -uo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-windows-test}
linux_build=${2:-build-test}
status=0
started=$(date +%s)

elapsed() {
    local s=$(($(date +%s) - $1))
    printf '%d min %02d s' $((s / 60)) $((s % 60))
}

if [[ -z ${DISPLAY:-} ]]; then
    echo "windows tests: no DISPLAY (./test.sh starts Xvfb)" >&2
    exit 1
fi

if ! scripts/windows/build-deps.sh --check >/dev/null 2>&1; then
    echo "The Windows libraries are not in the cache yet: building them now from Debian's sources, once" \
        "(about half an hour on two cores; later runs take them from the cache)."
fi
if ! setup=$(scripts/windows/build.sh "$build" --tests | tail -1) || [[ ! -f $setup ]]; then
    echo "windows tests: the Windows build failed (above)" >&2
    exit 1
fi
echo "Windows build and installer ready after $(elapsed "$started"): $setup ($(du -h "$setup" | cut -f1))"

work=$(mktemp -d /tmp/cashier-wine.XXXXXX)
prefixes=()
cleanup() {
    for prefix in "${prefixes[@]}"; do
        WINEPREFIX=$prefix wineserver -k 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

# A new prefix: made before the tests so that they do not wait on it one by one. Its Windows account is named after
# USER.
new_prefix() {
    local prefix="$work/$1"
    prefixes+=("$prefix")
    WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= wine wineboot --init \
        >"$work/$1-wineboot.log" 2>&1 || {
        cat "$work/$1-wineboot.log" >&2
        return 1
    }
    echo "$prefix"
}

step_started=$(date +%s)
if prefix=$(new_prefix units); then
    WINEPREFIX=$prefix ctest --test-dir "$build" --output-on-failure --no-tests=error -j4 || status=1
else
    echo "windows tests: wineboot failed" >&2
    status=1
fi
echo "Windows unit and widget tests under Wine: $(elapsed "$step_started")"

step_started=$(date +%s)
# The upgrade's later version: the same stage packed as the next patch version, without a file the first one ships.
version=$(sed -nE 's/^cashier-setup-([0-9.]+)\.exe$/\1/p' <<<"$(basename "$setup")")
newer_version=${version%.*}.$((${version##*.} + 1))
dropped=imageformats/qgif.dll
cp -a "$build/stage" "$work/stage-newer"
rm "$work/stage-newer/$dropped"
newer_setup=$work/newer/cashier-setup-$newer_version.exe
# A Windows account named in Chinese: the cashier's files under C:\Users\收银台.
export USER=收银台
# The vendor's site: the newer setup signed as its version, and the version after it signed, then changed by a byte.
updates=$work/updates
changed_version=${version%.*}.$((${version##*.} + 2))
changed_setup=$updates/cashier-setup-$changed_version.exe
sign=$linux_build/packaging/cashier-update-sign
key=packaging/keys/dev-update.key
# One bit of the byte at offset $2 of file $1 turned over.
flip_byte() {
    local byte
    byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ') &&
        printf "\\$(printf %03o $((byte ^ 1)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
make_updates() {
    mkdir -p "$updates" &&
        cp "$newer_setup" "$updates/" &&
        "$sign" sign "$key" "$newer_version" "$updates/$(basename "$newer_setup")" &&
        cp "$newer_setup" "$changed_setup" &&
        "$sign" sign "$key" "$changed_version" "$changed_setup" &&
        flip_byte "$changed_setup" $(($(stat -c %s "$changed_setup") / 2))
}
if scripts/windows/make-setup.sh "$work/stage-newer" "$newer_version" "$newer_setup" && make_updates &&
    prefix=$(new_prefix e2e); then
    WINEPREFIX=$prefix CASHIER_WINDOWS_SETUP=$setup CASHIER_WINDOWS_SETUP_NEWER=$newer_setup \
        CASHIER_WINDOWS_UPDATES=$updates CASHIER_WINDOWS_UPDATE_CHANGED=$changed_version \
        CASHIER_WINDOWS_DROPPED=$dropped ctest --test-dir "$linux_build" --output-on-failure --no-tests=error \
        -R '^tst_windows_e2e$' || status=1
else
    status=1
fi
echo "The installed Windows client under Wine: $(elapsed "$step_started")"
echo "Windows step in all: $(elapsed "$started")"
exit $status
