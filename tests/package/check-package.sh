#!/usr/bin/env bash
# Checks a built cashier .deb without installing it: unpacks it into a temporary root, validates the menu entry and
# its icons, and starts the unpacked client offscreen through the launcher, which must keep the client's settings
# in the per-user folder (${XDG_DATA_HOME:-~/.local/share}/cashier) and write nothing where it was started from.
#   tests/package/check-package.sh PACKAGE.deb
set -uo pipefail

deb=${1:?usage: check-package.sh PACKAGE.deb}
scratch=$(mktemp -d)
client_pid=
cleanup() {
    [[ -n "$client_pid" ]] && kill "$client_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

root=$scratch/root
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb cannot unpack $deb" >&2; exit 1; }

entry=$root/usr/share/applications/cashier.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate rejects the menu entry"
grep -qx 'Name=柚屿智付' "$entry" || fail "the menu entry is not named 柚屿智付"
grep -Eq '^Categories=(.*;)?Office;' "$entry" && grep -Eq '^Categories=(.*;)?Finance;' "$entry" ||
    fail "the menu entry's categories lack Office or Finance"
icon=$(sed -n 's/^Icon=//p' "$entry")
exec_name=$(sed -n 's/^Exec=//p' "$entry" | cut -d' ' -f1)
[[ -x "$root/usr/bin/$exec_name" ]] || fail "Exec=$exec_name is not a program in usr/bin"
for size in 16 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
    file -b "$png" 2>/dev/null | grep -q "PNG image data, $size x $size" || fail "no ${size}px icon $icon.png"
done
[[ -x "$root/usr/bin/gateway-sandbox" ]] || fail "the sandbox is not in usr/bin"

# Starts the unpacked launcher from an empty work folder, waits for the settings in the per-user folder, stops it.
# $1: a name for the case, $2: XDG_DATA_HOME to give (empty: unset), $3: the folder the settings must appear in
# ($home stands for the home folder given to the client).
start_and_check() {
    local home=$scratch/$1/home work=$scratch/$1/work data_home=${2//\$home/$scratch/$1/home}
    local expected=${3//\$home/$scratch/$1/home}
    mkdir -p "$home" "$work"
    (
        cd "$work" || exit 1
        export HOME=$home QT_QPA_PLATFORM=offscreen
        if [[ -n "$data_home" ]]; then export XDG_DATA_HOME=$data_home; else unset XDG_DATA_HOME; fi
        exec "$root/usr/bin/$exec_name"
    ) >"$scratch/client.log" 2>&1 &
    client_pid=$!
    for _ in $(seq 200); do
        [[ -f "$expected/app.config" ]] && break
        kill -0 "$client_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [[ ! -f "$expected/app.config" ]]; then
        fail "no app.config in $expected (XDG_DATA_HOME=${data_home:-unset}); client log:"
        tail -5 "$scratch/client.log" >&2
    elif ! kill -0 "$client_pid" 2>/dev/null; then
        fail "the client did not keep running at its login window; log:"
        tail -5 "$scratch/client.log" >&2
    fi
    kill "$client_pid" 2>/dev/null
    wait "$client_pid" 2>/dev/null
    client_pid=
    [[ -z "$(ls -A "$work")" ]] || fail "the client wrote into the folder it was started from: $(ls -A "$work")"
    [[ "$(stat -c %a "$expected")" == 700 ]] || fail "$expected is not private to the user"
    [[ "$(stat -c %a "$expected/payments.db" 2>/dev/null)" == 600 ]] || fail "no private payments.db in $expected"
    [[ ! -e "$home/data.ini" && ! -e "$home/app.config" ]] || fail "the client wrote its settings into \$HOME"
}

start_and_check xdg "$scratch/xdg-data" "$scratch/xdg-data/cashier"
start_and_check default "" '$home/.local/share/cashier'
start_and_check relative "relative/data" '$home/.local/share/cashier'  # not absolute: ignored, as XDG says

if ((failures)); then
    echo "$failures package check(s) failed" >&2
    exit 1
fi
echo "package checks passed: $(basename "$deb")"
