#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, finding the DLLs it was built against (Qt, OpenSSL, the
# compiler's runtime) where they lie on this machine. CMake's cross-compiling emulator for the Windows build's
# tests (packaging/windows/toolchain-mingw64.cmake passes the folders).
#   scripts/windows/wine-run.sh --dlls DIR[:DIR...] [--plugins DIR] [--prefix DIR] [--qtest] -- PROGRAM.exe [ARGS...]
# --qtest: PROGRAM is a Qt test, whose plain-text report goes to Windows' debug output when it has no console (as
# under Wine): it is written to a file instead and shown here.
# WINEPREFIX from the environment wins over --prefix (./test.sh makes one in a temporary folder and shares it
# among the tests); a prefix that does not exist yet is made first.
set -euo pipefail

dlls="" plugins="" prefix="" qtest=0
while (($#)); do
    case $1 in
        --qtest) qtest=1; shift ;;
        --dlls) dlls=$2; shift 2 ;;
        --plugins) plugins=$2; shift 2 ;;
        --prefix) prefix=$2; shift 2 ;;
        --) shift; break ;;
        *) break ;;
    esac
done
(($#)) || { echo "usage: $0 --dlls DIR[:DIR...] [--plugins DIR] [--prefix DIR] -- PROGRAM [ARGS...]" >&2; exit 2; }

export WINEPREFIX=${WINEPREFIX:-${prefix:-${XDG_CACHE_HOME:-$HOME/.cache}/cashier-windows/wineprefix}}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: nothing here needs .NET or an HTML engine, and Wine would offer to download them.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win64

# Wine reads Unix folders through its drive Z: (the root of this machine).
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
path=""
IFS=: read -ra dirs <<<"$dlls"
for dir in "${dirs[@]}"; do
    [[ -n $dir ]] && path+="${path:+;}$(winpath "$dir")"
done
export WINEPATH="$path${WINEPATH:+;$WINEPATH}"
[[ -n $plugins ]] && export QT_PLUGIN_PATH=$(winpath "$plugins")

if [[ ! -f $WINEPREFIX/system.reg ]]; then
    mkdir -p "$WINEPREFIX"
    # Two tests starting together must not both make it.
    exec 8>"$WINEPREFIX.lock"
    flock 8
    [[ -f $WINEPREFIX/system.reg ]] || wine wineboot --init >/dev/null 2>&1
    flock -u 8
fi
if ((qtest)); then
    report=$(mktemp /tmp/qtest-report.XXXXXX)
    trap 'rm -f "$report"' EXIT
    status=0
    wine "$@" -o "$(winpath "$report"),txt" || status=$?
    cat "$report"
    exit $status
fi
exec wine "$@"
