#!/usr/bin/env bash
# Fails when a folder includes a header of a folder above it, or a window folder includes another window folder.
# Layers, bottom to top (a folder may include its own layer and those below):
#   platform | app | gateway | payments receipts | core | widgets | collect transactions refunds settings | shell
# (the bottom folders in their own order: the gateway knows nothing of payments, and app nothing of the gateway).
# The window folders never include each other: a window opens another folder's window only through shell/, which
# hands it what it needs (the settings opener, the refund opener). No window folder (widgets and shell included)
# includes gateway/: windows ask the till's services in core/, which talk to the gateway for them.
# Inside core/ the till sits on its services: they are handed the parts of it they use (the gateway link, the session,
# the settings, the payment context) and never include core/till.h back.
# Tests, benchmarks and the sandbox stand outside the stack; the entry point is shell/main.cpp, on top.
set -uo pipefail
# An optional argument names another tree to check (the script's own test plants includes in small ones).
cd "${1:-$(dirname "$0")/..}"

level() {
    case "$1" in
        platform) echo 0 ;;
        app) echo 1 ;;
        gateway) echo 2 ;;
        payments | receipts) echo 3 ;;
        core) echo 4 ;;
        widgets) echo 5 ;;
        collect | transactions | refunds | settings) echo 6 ;;
        shell) echo 7 ;;
        *) echo -1 ;;
    esac
}

status=0
for dir in platform app gateway payments receipts core widgets collect transactions refunds settings shell; do
    [[ -d $dir ]] || continue
    mine=$(level "$dir")
    while IFS= read -r hit; do
        file=${hit%%:*}
        target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$hit")
        theirs=$(level "$target")
        if ((theirs > mine)); then
            echo "upward include: $hit" >&2
            status=1
        elif ((mine == theirs)) && [[ $target != "$dir" ]] && { ((mine == 6)) || ((mine == 3)); }; then
            echo "sideways include: $hit" >&2
            status=1
        elif ((mine >= 5)) && [[ $target == gateway ]]; then
            echo "window includes the gateway: $hit" >&2
            status=1
        fi
    done < <(grep -HnE '^#include "[a-z_]+/' "$dir"/*.h "$dir"/*.cpp 2>/dev/null)
done
while IFS= read -r hit; do
    echo "core includes the till back: $hit" >&2
    status=1
done < <(grep -HnE '^#include "core/till\.h"' core/*.h core/*.cpp 2>/dev/null | grep -v '^core/till\.cpp:')
exit $status
