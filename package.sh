#!/usr/bin/env bash
# Builds the Debian package cashier_<version>_<arch>.deb and prints its path on the last line.
#   ./package.sh [BUILD_DIR]    default build-package (Release); an existing tree is used as it is configured
# Checks it before printing: lintian must report no errors, desktop-file-validate must pass on the menu entry.
set -euo pipefail
cd "$(dirname "$0")"

build=${1:-build-package}

scripts/install-deps.sh package >&2

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    # The flags a Debian build uses: fortified functions, stack protector, read-only relocations bound at start.
    eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCASHIER_TESTS=OFF \
        -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >&2
fi
cmake --build "$build" -j"$(nproc)" --target cashier gateway-sandbox cashier_package_docs >&2

rm -f "$build"/cashier_*.deb
(cd "$build" && cpack -G DEB >&2)
debs=("$build"/cashier_*.deb)
deb=$(realpath "${debs[0]}")
[[ -f "$deb" ]] || { echo "cpack made no package in $build" >&2; exit 1; }

check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
dpkg-deb -x "$deb" "$check"
desktop-file-validate "$check/usr/share/applications/cashier.desktop" >&2

# lintian exits non-zero on errors; warnings and notes are shown, but do not fail the build.
lintian --fail-on error --tag-display-limit 0 "$deb" >&2

echo "$deb"
