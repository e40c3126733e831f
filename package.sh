#!/usr/bin/env bash
# Builds the Debian packages cashier_<version>_<arch>.deb (the client) and cashier-sandbox_<version>_<arch>.deb (the
# stand-in gateway for training) and prints their paths, the client's on the second-to-last line and the sandbox's
# on the last.
#   ./package.sh [BUILD_DIR]    default build-package (Release); an existing tree is used as it is configured
# Checks them before printing: lintian must report no errors, desktop-file-validate must pass on the menu entry.
#   ./package.sh windows [BUILD_DIR]   the Windows installer instead, cashier-setup-<version>.exe (default
#                                      build-windows), built with mingw-w64 by scripts/windows/build.sh; prints its path
set -euo pipefail
cd "$(dirname "$0")"

if [[ ${1:-} == windows ]]; then
    shift
    exec scripts/windows/build.sh "${1:-build-windows}"
fi

build=${1:-build-package}

scripts/install-deps.sh package >&2

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    # The flags a Debian build uses: fortified functions, stack protector, read-only relocations bound at start.
    eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCASHIER_TESTS=OFF \
        -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >&2
fi
# A package is a release: the hooks that let tests shorten the client's waits must not be in it.
if grep -qE '^CASHIER_TEST_SEAMS:BOOL=(ON|1|TRUE|YES)$' "$build/CMakeCache.txt"; then
    echo "$build is configured with CASHIER_TEST_SEAMS=ON (a test build); package a release tree instead" >&2
    exit 1
fi
cmake --build "$build" -j"$(nproc)" --target cashier updata gateway-sandbox cashier_package_docs >&2

rm -f "$build"/cashier_*.deb "$build"/cashier-sandbox_*.deb
(cd "$build" && cpack -G DEB >&2)
client=$(compgen -G "$build/cashier_*.deb" | head -1 || true)
sandbox=$(compgen -G "$build/cashier-sandbox_*.deb" | head -1 || true)
[[ -f "$client" && -f "$sandbox" ]] || { echo "cpack did not make both packages in $build" >&2; exit 1; }
client=$(realpath "$client")
sandbox=$(realpath "$sandbox")

check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
dpkg-deb -x "$client" "$check"
desktop-file-validate "$check/usr/share/applications/cashier.desktop" >&2

# lintian exits non-zero on errors; warnings and notes are shown, but do not fail the build.
lintian --fail-on error --tag-display-limit 0 "$client" "$sandbox" >&2

echo "$client"
echo "$sandbox"
