#!/usr/bin/env bash
# Installs the Debian 12 packages the client, the sandbox gateway and the tests need; quick when all are there.
# Usage: scripts/install-deps.sh [run|test|package|windows]
#   test installs the Windows build's packages too, unless CASHIER_SKIP_WINDOWS=1.
set -euo pipefail

mode="${1:-run}"

build=(cmake ninja-build g++ pkg-config qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5x11extras5-dev
       libxcb1-dev libcpp-httplib-dev libsqlite3-dev libsodium-dev libcups2-dev libspdlog-dev fonts-noto-cjk
       tzdata)  # tzdata: the gateway's time zone by name (data.ini's gatewayTimeZone)
# python3: scripts/pos-standin.py; qttranslations5-l10n: Qt's own dialogs and menus in Chinese.
run=(xvfb xauth x11-utils curl ccache python3 qttranslations5-l10n)
testing=(xvfb xauth xdotool socat cups cups-client cups-bsd cups-filters poppler-utils x11-utils imagemagick
         clang-format curl procps g++-mingw-w64-x86-64-posix faketime)  # mingw: scripts/check-windows.sh; faketime: a PC clock off
# The Debian package (./package.sh) and its checks.
packaging=(dpkg-dev file lintian desktop-file-utils)
# The fuzz targets: clang with libFuzzer and the sanitizer runtimes.
fuzzing=(clang libclang-rt-14-dev)
# The Windows build (scripts/windows/): the mingw-w64 compilers, what builds the libraries from Debian's sources
# (dpkg-source; tclsh for SQLite's amalgamation; autotools for libsodium, whose Debian source has no configure),
# NSIS for the installer, Wine and what the tests drive it with.
windows=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 dpkg-dev make perl python3 tcl autoconf automake libtool
         xz-utils nsis wine wine64 xvfb xauth xdotool socat imagemagick qttranslations5-l10n libspdlog-dev libfmt-dev)

wanted=("${build[@]}" "${run[@]}")
case "$mode" in
    test)
        wanted+=("${testing[@]}" "${packaging[@]}" "${fuzzing[@]}")
        [[ ${CASHIER_SKIP_WINDOWS:-} == 1 ]] || wanted+=("${windows[@]}")
        ;;
    package) wanted+=("${packaging[@]}") ;;
    windows) wanted+=("${windows[@]}") ;;
esac

# The Windows libraries are built from Debian's source packages: apt-get source needs the deb-src lines of the
# machine's Debian archives (added beside them, once) and package lists that include them.
need_sources=0
if [[ $mode == windows || ($mode == test && ${CASHIER_SKIP_WINDOWS:-} != 1) ]]; then
    if ! apt-get source --print-uris -qq qtbase-opensource-src >/dev/null 2>&1; then
        need_sources=1
    fi
fi

missing=()
for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done

if ((${#missing[@]} == 0 && need_sources == 0)); then
    exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
    ((${#missing[@]})) && echo "These packages are missing: ${missing[*]}" >&2
    ((need_sources)) && echo "apt has no deb-src lines for Debian's source packages (apt-get source)." >&2
    echo "Run this script as root to install them." >&2
    exit 1
fi

if ((need_sources)); then
    # Every deb822 stanza of a Debian archive, again as deb-src.
    list=/etc/apt/sources.list.d/cashier-deb-src.sources
    echo "Adding deb-src lines for Debian's source packages: $list"
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /(^|\n)Types:([^\n]* )?deb( |\n|$)/ && /(^|\n)URIs:[^\n]*debian/ {
             sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' \
        /etc/apt/sources.list.d/*.sources >"$list.new" 2>/dev/null || true
    # One-line sources.list entries.
    grep -hE '^deb\s' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | grep debian |
        sed 's/^deb\s/deb-src /' >"${list%.sources}.list.new" || true
    [[ -s $list.new ]] && mv "$list.new" "$list" || rm -f "$list.new"
    [[ -s ${list%.sources}.list.new ]] && mv "${list%.sources}.list.new" "${list%.sources}.list" ||
        rm -f "${list%.sources}.list.new"
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if ((need_sources)) && ! apt-get source --print-uris -qq qtbase-opensource-src >/dev/null 2>&1; then
    echo "apt still cannot name Debian's source packages: add a deb-src line for the Debian archive by hand." >&2
    exit 1
fi
