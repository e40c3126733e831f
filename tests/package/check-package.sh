#!/usr/bin/env bash
# Checks the built .debs without installing them. The client's: unpacks it into a temporary root, validates the menu
# entry and its icons, makes sure neither the sandbox nor the test hooks came along, and starts the unpacked client
# offscreen through the launcher, which must keep the client's settings in the per-user folder
# (${XDG_DATA_HOME:-~/.local/share}/cashier), private to the user, and write nothing where it was started from.
# The sandbox's: it holds the sandbox and nothing of the client.
#   tests/package/check-package.sh CLIENT.deb SANDBOX.deb
set -uo pipefail

deb=${1:?usage: check-package.sh CLIENT.deb SANDBOX.deb}
sandbox_deb=${2:?usage: check-package.sh CLIENT.deb SANDBOX.deb}
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

# The sandbox hands out raw request bodies on its control endpoints: it has a package of its own.
[[ "$(dpkg-deb -f "$deb" Package)" == cashier ]] || fail "$deb is not the package cashier"
# Not found by dpkg-shlibdeps: the fonts the windows are drawn with, Qt's Chinese catalogue for its own dialogs.
depends=$(dpkg-deb -f "$deb" Depends)
for need in fonts-noto-cjk qttranslations5-l10n; do
    [[ ", $depends," == *", $need"[\ ,]* ]] || fail "the client's package does not depend on $need"
done
# The machine's gateway address: a configuration file of the package (an upgrade keeps the administrator's).
[[ -f $root/etc/cashier/site.ini ]] || fail "the client's package has no /etc/cashier/site.ini"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles 2>/dev/null | grep -qx /etc/cashier/site.ini ||
    fail "/etc/cashier/site.ini is not a conffile of the client's package"
# What 更新 runs, beside the client.
[[ -x $root/usr/libexec/cashier/install/updata ]] || fail "the client's package has no install/updata"
if dpkg-deb -c "$deb" | grep -i sandbox; then
    fail "the client's package holds sandbox files (above)"
fi
# A release client keeps its production timing: the test hook's variable is not even in the binary.
if grep -q CASHIER_TEST_CHARGE_TIMING "$root/usr/libexec/cashier/cashier"; then
    fail "the packaged client reads CASHIER_TEST_CHARGE_TIMING: it was built with CASHIER_TEST_SEAMS"
fi

sandbox_root=$scratch/sandbox-root
dpkg-deb -x "$sandbox_deb" "$sandbox_root" || fail "dpkg-deb cannot unpack $sandbox_deb"
[[ "$(dpkg-deb -f "$sandbox_deb" Package)" == cashier-sandbox ]] || fail "$sandbox_deb is not the package cashier-sandbox"
[[ -x "$sandbox_root/usr/bin/gateway-sandbox" ]] || fail "the sandbox is not in usr/bin of cashier-sandbox"
[[ -f "$sandbox_root/usr/share/man/man1/gateway-sandbox.1.gz" ]] || fail "cashier-sandbox has no manual page"
if dpkg-deb -c "$sandbox_deb" | grep -E '/usr/(libexec/cashier|bin/cashier$|share/applications)'; then
    fail "cashier-sandbox holds files of the client (above)"
fi

# Starts the unpacked launcher from an empty work folder, waits for the settings in the per-user folder, stops it.
# $1: a name for the case, $2: XDG_DATA_HOME to give (empty: unset), $3: the folder the settings must appear in
# ($home stands for the home folder given to the client), $4: "existing" to find that folder and its files already
# there, readable by others (as an older version left them).
start_and_check() {
    local home=$scratch/$1/home work=$scratch/$1/work data_home=${2//\$home/$scratch/$1/home}
    local expected=${3//\$home/$scratch/$1/home}
    mkdir -p "$home" "$work"
    if [[ "${4:-}" == existing ]]; then
        mkdir -p "$expected"
        printf '[data_config]\nuser=demo\n' >"$expected/data.ini"
        : >"$expected/app.config"
        chmod 755 "$expected"
        chmod 644 "$expected/data.ini" "$expected/app.config"
    fi
    (
        cd "$work" || exit 1
        export HOME=$home QT_QPA_PLATFORM=offscreen
        if [[ -n "$data_home" ]]; then export XDG_DATA_HOME=$data_home; else unset XDG_DATA_HOME; fi
        exec "$root/usr/bin/$exec_name"
    ) >"$scratch/client.log" 2>&1 &
    client_pid=$!
    # Done when app.config is there and private (a file left by an older version is there from the start).
    for _ in $(seq 200); do
        [[ -f "$expected/app.config" && "$(stat -c %a "$expected/app.config")" == 600 ]] && break
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
    local file
    for file in "$expected"/data.ini "$expected"/app.config; do
        [[ ! -e "$file" || "$(stat -c %a "$file")" == 600 ]] || fail "$file is not private to the user"
    done
    [[ ! -e "$home/data.ini" && ! -e "$home/app.config" ]] || fail "the client wrote its settings into \$HOME"
}

start_and_check xdg "$scratch/xdg-data" "$scratch/xdg-data/cashier"
start_and_check default "" '$home/.local/share/cashier'
start_and_check relative "relative/data" '$home/.local/share/cashier'  # not absolute: ignored, as XDG says
start_and_check existing "$scratch/old-data" "$scratch/old-data/cashier" existing

if ((failures)); then
    echo "$failures package check(s) failed" >&2
    exit 1
fi
echo "package checks passed: $(basename "$deb") $(basename "$sandbox_deb")"
