#!/usr/bin/env bash
# Builds the client for 64-bit Windows and its installer, cashier-setup-<version>.exe, and prints the installer's
# path on the last line.
#   scripts/windows/build.sh [BUILD_DIR] [--tests]    default build-windows; --tests builds the unit and widget
#                                                       tests too (warnings are errors), for ctest under Wine
# The libraries come from scripts/windows/build-deps.sh (built once into ~/.cache/cashier-windows/; the first time
# takes about half an hour). ./package.sh windows runs this.
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"

build=build-windows
tests=OFF
for arg in "$@"; do
    case $arg in
        --tests) tests=ON ;;
        -*) echo "Unknown option: $arg" >&2; exit 2 ;;
        *) build=$arg ;;
    esac
done
host=x86_64-w64-mingw32

scripts/install-deps.sh windows >&2
eval "$(scripts/windows/build-deps.sh --print-env)"

fail() {
    echo "windows build: FAILED: $*" >&2
    exit 1
}

# spdlog and fmt are used header-only: Debian's headers (the -dev packages the Linux build uses), from a folder of
# their own so that nothing else of /usr/include reaches the Windows compiler.
mkdir -p "$build"
build=$(cd "$build" && pwd)
shim="$build/header-only"
rm -rf "$shim"
mkdir -p "$shim/include" "$shim/lib/pkgconfig"
ln -s /usr/include/spdlog /usr/include/fmt "$shim/include/"
cat >"$shim/lib/pkgconfig/spdlog.pc" <<EOF
Name: spdlog
Description: spdlog, header only
Version: $(dpkg-query -W -f='${Version}' libspdlog-dev)
Cflags: -I$shim/include -DSPDLOG_FMT_EXTERNAL -DFMT_HEADER_ONLY
EOF

deps="$WIN_QT;$WIN_OPENSSL;$WIN_SQLITE;$WIN_SODIUM;$WIN_HTTPLIB;$shim"
# A tree configured against other library builds (an update built them anew) is configured afresh: CMake keeps
# the places it found packages at.
if [[ -f $build/CMakeCache.txt && "$(cat "$build/windows-deps.txt" 2>/dev/null)" != "$deps" ]]; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
echo "$deps" >"$build/windows-deps.txt"
werror=$tests
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/packaging/windows/toolchain-mingw64.cmake" \
    -DCASHIER_WINDOWS_DEPS="$deps" -DCMAKE_BUILD_TYPE=Release -DCASHIER_TESTS="$tests" -DCASHIER_WERROR="$werror" \
    -DCASHIER_TEST_SEAMS=OFF >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; fail "configuring $build (above)"; }
cmake --build "$build" -j"$(nproc)" >&2 || fail "building $build"

# ---- The installation, staged: the programs, then every DLL they import (followed through the DLLs themselves),
# Qt's plugins, OpenSSL (loaded at run time, so not among the imports), Qt's Chinese catalogue. ----
stage="$build/stage"
rm -rf "$stage"
cmake --install "$build" --prefix "$stage" >&2 || fail "staging the installation"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/imageformats" "$stage/printsupport" "$stage/translations"
cp "$WIN_QT/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$WIN_QT/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp "$WIN_QT/plugins/imageformats/"{qgif,qico,qjpeg}.dll "$stage/imageformats/"
# Printing on Windows goes through this plugin; without it there are no printers.
cp "$WIN_QT/plugins/printsupport/windowsprintersupport.dll" "$stage/printsupport/"
cp "$WIN_OPENSSL/bin/libssl-3-x64.dll" "$WIN_OPENSSL/bin/libcrypto-3-x64.dll" "$stage/"
catalogue=/usr/share/qt5/translations/qtbase_zh_CN.qm
[[ -f $catalogue ]] || fail "$catalogue is missing (qttranslations5-l10n)"
cp "$catalogue" "$stage/translations/"

gcc_runtime=$(dirname "$("$host-g++-posix" -print-file-name=libstdc++-6.dll)")
pthread_runtime=$(dirname "$(realpath "$("$host-g++-posix" -print-file-name=libwinpthread-1.dll)")")
dll_dirs=("$WIN_QT/bin" "$WIN_OPENSSL/bin" "$gcc_runtime" "$pthread_runtime")
pending=("$stage/cashier.exe" "$stage"/*/*.dll "$stage"/lib*.dll)
declare -A seen=()
while ((${#pending[@]})); do
    file=${pending[0]}
    pending=("${pending[@]:1}")
    while read -r dll; do
        [[ -n ${seen[${dll,,}]:-} ]] && continue
        seen[${dll,,}]=1
        for dir in "${dll_dirs[@]}"; do
            if [[ -f $dir/$dll ]]; then
                cp "$dir/$dll" "$stage/"
                pending+=("$stage/$dll")
                break
            fi
        done  # not found: a DLL of Windows itself
    done < <("$host-objdump" -p "$file" | awk '/DLL Name:/ {print $3}')
done
find "$stage" -iname '*.dll' -print0 | xargs -0 "$host-strip" --strip-unneeded
"$host-strip" --strip-unneeded "$stage/cashier.exe" "$stage/install/updata.exe"

# The licences of what is shipped, beside it.
mkdir -p "$stage/licenses"
for dep in "$WIN_QT" "$WIN_OPENSSL" "$WIN_SQLITE" "$WIN_SODIUM"; do
    name=$(basename "$dep")
    cp -r "$dep/licenses" "$stage/licenses/${name%-*}"
done
cp /usr/share/doc/libstdc++6/copyright "$stage/licenses/gcc-runtime.txt" 2>/dev/null || true
cp /usr/share/doc/libspdlog-dev/copyright "$stage/licenses/spdlog.txt" 2>/dev/null || true
cp /usr/share/doc/libfmt-dev/copyright "$stage/licenses/fmt.txt" 2>/dev/null || true

# ---- The installer ----
version=$(sed -nE 's/^project\(cashier VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
[[ -n $version ]] || fail "no version in CMakeLists.txt's project()"
setup="$build/cashier-setup-$version.exe"
rm -f "$build"/cashier-setup-*.exe
scripts/windows/make-setup.sh "$stage" "$version" "$setup" || fail "makensis"
echo "$setup"
