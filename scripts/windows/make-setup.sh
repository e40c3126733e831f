#!/usr/bin/env bash
# Packs a staged Windows installation into the installer (NSIS): scripts/windows/make-setup.sh STAGE VERSION SETUP
# scripts/windows/build.sh runs it on its stage; the Windows tests also pack a second version of the same stage to try
# an upgrade and a refused downgrade.
set -euo pipefail
cd "$(dirname "$0")/../.."
stage=${1:?usage: make-setup.sh STAGE VERSION SETUP}
version=${2:?usage: make-setup.sh STAGE VERSION SETUP}
setup=${3:?usage: make-setup.sh STAGE VERSION SETUP}
stage=$(cd "$stage" && pwd)
mkdir -p "$(dirname "$setup")"
setup=$(cd "$(dirname "$setup")" && pwd)/$(basename "$setup")
# What the uninstaller removes: exactly the staged files, then the folders they leave empty (deepest first).
files="${setup%.exe}-files.nsh"
(
    cd "$stage"
    find . -type f | sed 's|^\./||; s|/|\\|g' | sort | sed 's|.*|    Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | sed 's|^\./||; s|/|\\|g' | sort -r | sed 's|.*|    RMDir "$INSTDIR\\&"|'
) >"$files"
size_kb=$(du -sk "$stage" | cut -f1)
rm -f "$setup"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DICON="$PWD/resources/icon/setup.ico" -DOUTFILE="$setup" \
    -DFILES="$files" -DSIZE_KB="$size_kb" packaging/windows/cashier.nsi >&2
