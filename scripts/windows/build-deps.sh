#!/usr/bin/env bash
# Builds the client's libraries for 64-bit Windows from source with mingw-w64 (posix threads), each once, into a
# cache outside the checkout: OpenSSL 3 (DLLs, loaded by Qt at run time), Qt base 5.15 with Debian's patches and Qt
# Serial Port, SQLite and libsodium, and the tests' cpp-httplib header. The sources are the ones
# scripts/windows/sources.lock names, by version and hash: Debian's source packages (apt-get source, with Debian's
# patches applied), and Qt Serial Port's upstream tarball from vendor/ while the lock names that. Each entry keeps the
# licences of what it holds in licenses/.
#
# Each library lands in CACHE/<name>-<version>-<key>/, where the key is a digest of its lines of the lock (a .dsc
# names the upstream tarball and Debian's patches by their hashes), the build recipe below (configure line included)
# and the compiler's version: a change to any of them builds anew beside the old one. A finished entry holds a file
# named .complete; an unfinished one (a failed or interrupted build) is built again.
#
# Usage: scripts/windows/build-deps.sh [--print-env | --check | --update-lock]
#   --print-env   print the shell assignments that locate the entries (WIN_QT, WIN_OPENSSL, ...) and nothing else
#   --check       build nothing: exit 0 when every entry is in the cache, 1 when one would be built
#   --update-lock print the lock's Debian lines for the newest versions apt knows (to be copied into the lock on
#                 purpose: each changed line builds its library anew)
# Environment: CASHIER_WINDOWS_CACHE (default ~/.cache/cashier-windows); CASHIER_WINDOWS_JOBS (default nproc).
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"

cache=${CASHIER_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/cashier-windows}
jobs=${CASHIER_WINDOWS_JOBS:-$(nproc)}
host=x86_64-w64-mingw32
print_env=0
check=0
lock="$root/scripts/windows/sources.lock"
case ${1:-} in
    --print-env) print_env=1 ;;
    --check) check=1 ;;
    --update-lock)
        # The newest version of each Debian source of the lock, with its .dsc's hash from apt's index.
        for pkg in $(awk '!/^#/ && NF == 3 {print $1}' "$lock"); do
            apt-cache showsrc --only-source "$pkg" 2>/dev/null | awk -v pkg="$pkg" '
                /^Version:/ {version = $2}
                /^Checksums-Sha256:/ {on = 1; next}
                /^[^ ]/ {on = 0}
                on && $3 ~ /\.dsc$/ {print version, $1}' | sort -V | tail -1 |
                while read -r version hash; do printf '%-28s %-23s %s\n' "$pkg" "$version" "$hash"; done
        done
        exit 0
        ;;
    "") ;;
    *) echo "usage: $0 [--print-env | --check | --update-lock]" >&2; exit 2 ;;
esac

mkdir -p "$cache/logs" "$cache/sources"
# One build at a time (./test.sh and ./package.sh may start together): the second waits, then finds the entries
# built. The work folders of a build that was stopped are left over only while no build runs.
# --check only looks, and answers at once, also while a build runs (what it builds is not complete yet).
exec 9>"$cache/.lock"
if ((!check)); then
    flock 9
    rm -rf "$cache"/work.*
    # Entries a stopped build left unfinished are of no use to anyone.
    for dir in "$cache"/*-*-*/; do
        [[ -d $dir && ! -f $dir/.complete && $dir != "$cache/toolchain/" ]] && rm -rf "$dir"
    done
fi
# The libraries take minutes of every core; whatever else runs on the machine goes first.
renice -n 19 -p $$ >/dev/null 2>&1 || true
ionice -c3 -p $$ >/dev/null 2>&1 || true

say() { ((print_env)) && echo "$*" >&2 || echo "$*"; }

# The compilers are the posix-thread mingw-w64 ones (std::thread, Qt's threads); their unsuffixed names may point
# at the win32 variant. A folder of plain names that lead to the posix ones goes first on PATH.
toolbin="$cache/toolchain/bin"
mkdir -p "$toolbin"
for tool in gcc g++ cpp; do
    command -v "$host-$tool-posix" >/dev/null || {
        echo "build-deps: $host-$tool-posix is missing (g++-mingw-w64-x86-64-posix)" >&2
        exit 1
    }
    ln -sf "$(command -v "$host-$tool-posix")" "$toolbin/$host-$tool"
done
export PATH="$toolbin:$PATH"
compiler="$("$host-g++" --version | head -1); mingw-w64 $(dpkg-query -W -f='${Version}' mingw-w64-x86-64-dev)"

# The lock's "version hash" of NAME; empty when the lock does not name it.
locked() {
    awk -v name="$1" '!/^#/ && $1 == name {print $2, $3}' "$lock"
}

# True when the .dsc $1 is in the cache's sources/ with the hash $2, and so is every file it lists with the hashes it
# gives them (an earlier download may have stopped half-way).
source_complete() {
    local dsc=$cache/sources/$1 want=$2 hash file
    [[ -f $dsc && $(sha256sum "$dsc" | cut -d' ' -f1) == "$want" ]] || return 1
    while read -r hash file; do
        [[ -f $cache/sources/$file && $(sha256sum "$cache/sources/$file" | cut -d' ' -f1) == "$hash" ]] || return 1
    done < <(awk '/^Checksums-Sha256:/ {on = 1; next} /^[^ ]/ {on = 0} on && NF == 3 {print $1, $3}' "$dsc")
}

# Fetches the source package the lock names into the cache's sources/ (kept: a rebuild needs no download) and prints
# its .dsc file's name and SHA256. Fails (silently when the lock does not name the package) when it cannot be had as
# the lock names it.
fetch_source() {
    local pkg=$1 version hash dsc
    read -r version hash <<<"$(locked "$pkg")"
    [[ -n $version && -n $hash ]] || return 1
    dsc="${pkg}_${version#*:}.dsc"
    if ! source_complete "$dsc" "$hash"; then
        ((check)) && return 1
        (cd "$cache/sources" && apt-get source --download-only -qq "$pkg=$version" >/dev/null 2>&1)
        if ! source_complete "$dsc" "$hash"; then
            echo "build-deps: $pkg $version cannot be had as $lock names it (apt-get source: not served by the" \
                "archive, or not the files the locked .dsc names). A version the archive serves goes into the lock" \
                "on purpose: $0 --update-lock lists the newest." >&2
            return 1
        fi
    fi
    echo "$dsc $hash"
}

# Unpacks a fetched source package (Debian's patches applied) into $2.
unpack_debian_source() {
    dpkg-source --no-check -x "$cache/sources/$1" "$2" >/dev/null
}

# Runs one step of an entry's build with its output in the entry's log; on failure says which step and where the
# log is, and stops.
run_step() {
    local what=$1 log=$2
    shift 2
    echo "==== $what: $*" >>"$log"
    if ! "$@" >>"$log" 2>&1; then
        echo "build-deps: FAILED: $what (log: $log)" >&2
        tail -n 25 "$log" | sed 's/^/    /' >&2
        exit 1
    fi
}

# entry NAME VERSION RECIPE-FUNCTION SOURCE-ID: sets $prefix to the entry's folder and returns 0 when it is to be
# built (not complete yet), 1 when it is there.
entry() {
    local name=$1 version=$2 recipe=$3 source=$4 key
    key=$( { echo "$source"; echo "$compiler"; declare -f "$recipe"; echo "${recipe_extra:-}"; } | sha256sum | cut -c1-12)
    prefix="$cache/$name-$version-$key"
    log="$cache/logs/$name-$version-$key.log"
    [[ -f $prefix/.complete ]] && return 1
    ((check)) && exit 1
    rm -rf "$prefix"
    mkdir -p "$prefix"
    : >"$log"
    work=$(mktemp -d "$cache/work.XXXXXX")
    return 0
}

finish() {
    date -u +%FT%TZ >"$prefix/.complete"
    rm -rf "$work"
}

# ---- OpenSSL 3: libcrypto-3-x64.dll and libssl-3-x64.dll with their headers ----
recipe_openssl() {
    run_step "OpenSSL: unpack" "$log" unpack_debian_source "$dsc_file" "$work/src"
    cd "$work/src"
    # The configuration folder is a fixed one of the Windows machine, not a path of this cache.
    run_step "OpenSSL: configure" "$log" ./Configure mingw64 --cross-compile-prefix=$host- --prefix="$prefix" \
        --openssldir="C:/Program Files/Common Files/SSL" \
        --libdir=lib shared no-tests
    run_step "OpenSSL: build" "$log" make -j"$jobs" build_libs
    run_step "OpenSSL: install" "$log" make install_dev install_runtime_libs
}

# ---- Qt base: Debian's source with Debian's patches, only what the client and its tests use ----
qt_configure() {
    "$work/src/configure" -prefix "$prefix" -opensource -confirm-license \
        -xplatform win32-g++ -device-option CROSS_COMPILE=$host- \
        -release -shared -strip -no-opengl -no-dbus -no-icu -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-harfbuzz \
        -no-feature-tabletevent -openssl-runtime OPENSSL_INCDIR="$WIN_OPENSSL/include" \
        -nomake examples -nomake tests -no-feature-sql -no-feature-concurrent \
        -no-feature-xml -no-feature-dbus -no-feature-vulkan
}
recipe_qt() {
    run_step "Qt: unpack" "$log" unpack_debian_source "$dsc_file" "$work/src"
    mkdir "$work/build"
    cd "$work/build"
    run_step "Qt: configure" "$log" qt_configure
    run_step "Qt: build" "$log" make -j"$jobs"
    run_step "Qt: install" "$log" make install
    # Qt Serial Port, into the same prefix: Debian's source when it can be had, else the upstream tarball kept in
    # vendor/ (the same release).
    local serial_dsc
    if serial_dsc=$(fetch_source qtserialport-opensource-src) &&
        unpack_debian_source "${serial_dsc%% *}" "$work/serialport" 2>>"$log"; then
        echo "Qt Serial Port: Debian's source ${serial_dsc%% *}" >>"$log"
    else
        echo "Qt Serial Port: Debian's source cannot be had; using vendor/$serialport_tarball" >>"$log"
        mkdir "$work/serialport"
        run_step "Qt Serial Port: unpack" "$log" tar -xJf "$root/vendor/$serialport_tarball" -C "$work/serialport" \
            --strip-components=1
    fi
    mkdir "$work/serialport-build"
    cd "$work/serialport-build"
    # The vendored tarball is a git archive, without the forwarding headers (include/QtSerialPort/...) a release
    # tarball carries in its source tree: syncqt makes them there, as a release is made.
    run_step "Qt Serial Port: headers" "$log" perl "$prefix/bin/syncqt.pl" -module QtSerialPort -version 5.15.8 \
        -outdir "$work/serialport" "$work/serialport"
    run_step "Qt Serial Port: qmake" "$log" "$prefix/bin/qmake" "$work/serialport"
    run_step "Qt Serial Port: build" "$log" make -j"$jobs"
    run_step "Qt Serial Port: install" "$log" make install
}

# ---- SQLite: the amalgamation made from Debian's source, compiled into a static library ----
recipe_sqlite() {
    run_step "SQLite: unpack" "$log" unpack_debian_source "$dsc_file" "$work/src"
    mkdir "$work/native"
    cd "$work/native"
    # The amalgamation is generated by host tools (lemon, tclsh); only sqlite3.c is built for Windows.
    run_step "SQLite: configure (host tools)" "$log" "$work/src/configure" --disable-tcl
    run_step "SQLite: amalgamation" "$log" make sqlite3.c sqlite3.h
    run_step "SQLite: compile" "$log" "$host-gcc" -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_SECURE_DELETE \
        -DSQLITE_ENABLE_FTS3 -c sqlite3.c -o sqlite3.o
    mkdir -p "$prefix/include" "$prefix/lib"
    run_step "SQLite: archive" "$log" "$host-ar" rcs "$prefix/lib/libsqlite3.a" sqlite3.o
    cp sqlite3.h "$prefix/include/"
}

# ---- libsodium: static ----
recipe_sodium() {
    run_step "libsodium: unpack" "$log" unpack_debian_source "$dsc_file" "$work/src"
    cd "$work/src"
    # Debian's source is the upstream repository's, without the generated configure script (Debian regenerates it
    # too).
    run_step "libsodium: autoreconf" "$log" autoreconf -fi
    run_step "libsodium: configure" "$log" ./configure --host=$host --prefix="$prefix" --disable-shared \
        --enable-static --disable-dependency-tracking
    run_step "libsodium: build" "$log" make -j"$jobs"
    run_step "libsodium: install" "$log" make install
}

# ---- cpp-httplib (the tests' stand-in gateway): its single header, as the upstream project ships it ----
recipe_httplib() {
    run_step "cpp-httplib: unpack" "$log" unpack_debian_source "$dsc_file" "$work/src"
    mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
    cp "$work/src/httplib.h" "$prefix/include/"
    cat >"$prefix/lib/pkgconfig/cpp-httplib.pc" <<PC
Name: cpp-httplib
Description: A C++ HTTP/HTTPS server and client library (header only)
Version: ${version%%+*}
Cflags: -I$prefix/include
Libs: -lws2_32
PC
}

serialport_tarball=qtserialport-everywhere-src-5.15.8.tar.xz

# The licences that come with what the installer ships: the upstream licence files and Debian's copyright file.
collect_licences() {
    local src=$1 dest=$2
    mkdir -p "$dest"
    find "$src" -maxdepth 1 -type f \( -iname 'LICENSE*' -o -iname 'COPYING*' -o -iname 'LICENCE*' \) \
        -exec cp {} "$dest/" \;
    [[ -f $src/debian/copyright ]] && cp "$src/debian/copyright" "$dest/debian-copyright"
    if [[ -d $work/serialport ]]; then
        mkdir -p "$dest/qtserialport"
        find "$work/serialport" -maxdepth 1 -type f -iname 'LICENSE*' -exec cp {} "$dest/qtserialport/" \;
    fi
    return 0
}

# build_one NAME SOURCE-PACKAGE RECIPE LABEL: makes sure the entry is built; leaves its folder in $prefix.
build_one() {
    local name=$1 pkg=$2 recipe=$3 label=$4 dsc version started
    if ! dsc=$(fetch_source "$pkg"); then
        ((check)) && exit 1
        echo "build-deps: FAILED: fetching the source package $pkg as $lock names it (apt-get source)." >&2
        echo "            Its deb-src line and an apt-get update are needed: scripts/install-deps.sh windows does both." >&2
        exit 1
    fi
    dsc_file=${dsc%% *}
    version=$(sed -E 's/^[^_]+_(.+)\.dsc$/\1/' <<<"$dsc_file" | tr '~+' '..')
    if entry "$name" "$version" "$recipe" "$dsc"; then
        started=$(date +%s)
        say "Building $label for Windows from Debian's $dsc_file (log: $log)..."
        # The lock stays with this script: a stopped build must not leave compilers holding it.
        ("$recipe") 9>&-
        collect_licences "$work/src" "$prefix/licenses"
        finish
        local took=$(($(date +%s) - started))
        say "  $label built in $((took / 60)) min $((took % 60)) s: $prefix"
    elif [[ ! -d $prefix/licenses ]]; then
        # An entry built before the licences were kept: they are read again from its source.
        work=$(mktemp -d "$cache/work.XXXXXX")
        unpack_debian_source "$dsc_file" "$work/src"
        collect_licences "$work/src" "$prefix/licenses"
        rm -rf "$work"
    fi
}

exec 3>&1
((print_env)) && exec 1>&2
build_one openssl openssl recipe_openssl "OpenSSL"
export WIN_OPENSSL=$prefix
# Qt's entry also holds Qt Serial Port: its key names the source the lock gives, Debian's (its .dsc, fetched whole
# now, so that the recipe cannot fall back to vendor/ unseen) or the vendored tarball (checked against the lock).
read -r serial_version serial_hash <<<"$(locked qtserialport-opensource-src)"
if [[ -n $serial_hash ]]; then
    fetch_source qtserialport-opensource-src >/dev/null || exit 1
else
    read -r serial_version serial_hash <<<"$(locked qtserialport-everywhere-src)"
    if [[ -z $serial_hash || $serial_version != 5.15.8 ]]; then
        echo "build-deps: FAILED: $lock names no Qt Serial Port 5.15.8 source" >&2
        exit 1
    fi
    if [[ $(sha256sum "vendor/$serialport_tarball" | cut -d' ' -f1) != "$serial_hash" ]]; then
        echo "build-deps: FAILED: vendor/$serialport_tarball is not the tarball $lock names" >&2
        exit 1
    fi
fi
recipe_extra="$serial_hash $(declare -f qt_configure)"
build_one qt qtbase-opensource-src recipe_qt "Qt 5.15 (base and Serial Port)"
WIN_QT=$prefix
recipe_extra=""
build_one sqlite sqlite3 recipe_sqlite "SQLite"
WIN_SQLITE=$prefix
build_one sodium libsodium recipe_sodium "libsodium"
WIN_SODIUM=$prefix
build_one httplib cpp-httplib recipe_httplib "cpp-httplib"
WIN_HTTPLIB=$prefix

if ((print_env)); then
    printf 'WIN_TOOLBIN=%q\nWIN_OPENSSL=%q\nWIN_QT=%q\nWIN_SQLITE=%q\nWIN_SODIUM=%q\nWIN_HTTPLIB=%q\n' \
        "$toolbin" "$WIN_OPENSSL" "$WIN_QT" "$WIN_SQLITE" "$WIN_SODIUM" "$WIN_HTTPLIB" >&3
fi
