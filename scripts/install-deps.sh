#!/usr/bin/env bash
# Installs the Debian 12 packages the client, the sandbox gateway and the tests need; quick when all are there.
# Usage: scripts/install-deps.sh [run|test|package]
set -euo pipefail

mode="${1:-run}"

build=(cmake ninja-build g++ pkg-config qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5x11extras5-dev
       libxcb1-dev libcpp-httplib-dev libsqlite3-dev libsodium-dev libcups2-dev libspdlog-dev fonts-noto-cjk)
# python3: scripts/pos-standin.py; qttranslations5-l10n: Qt's own dialogs and menus in Chinese.
run=(xvfb xauth x11-utils curl ccache python3 qttranslations5-l10n)
testing=(xvfb xauth xdotool socat cups cups-client cups-bsd cups-filters poppler-utils x11-utils imagemagick
         clang-format curl procps g++-mingw-w64-x86-64-posix faketime)  # mingw: scripts/check-windows.sh; faketime: a PC clock off
# The Debian package (./package.sh) and its checks.
packaging=(dpkg-dev file lintian desktop-file-utils)
# The fuzz targets: clang with libFuzzer and the sanitizer runtimes.
fuzzing=(clang libclang-rt-14-dev)

wanted=("${build[@]}" "${run[@]}")
case "$mode" in
    test) wanted+=("${testing[@]}" "${packaging[@]}" "${fuzzing[@]}") ;;
    package) wanted+=("${packaging[@]}") ;;
esac

missing=()
for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
    echo "These packages are missing: ${missing[*]}" >&2
    echo "Install them as root (apt-get install ${missing[*]}) or run this script as root." >&2
    exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
