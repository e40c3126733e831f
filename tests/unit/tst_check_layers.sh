#!/usr/bin/env bash
# The layer check passes on this tree and, on small trees with one planted include, fails exactly on an include that
# runs upward, sideways between window folders, from a window folder into the gateway, or from a service back to the
# till.
set -uo pipefail
root=$1
check="$root/scripts/check-layers.sh"
status=0
if ! "$check" "$root"; then
    echo "FAIL: the tree itself does not pass the layer check"
    status=1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# expect <0 pass | 1 fail> <folder> <file> <included header>
expect() {
    rm -rf "$tmp/tree"
    mkdir -p "$tmp/tree/$2"
    printf '#include "%s"\n' "$4" >"$tmp/tree/$2/$3"
    "$check" "$tmp/tree" 2>/dev/null
    local got=$?
    if [[ $got != "$1" ]]; then
        echo "FAIL: $2/$3 including $4: the check gave $got, expected $1"
        status=1
    fi
}

expect 1 refunds refundsuredialog.cpp settings/settingmain.h  # sideways
expect 1 settings setrefundpwddialog.h refunds/refundrules.h  # sideways
expect 1 collect formcs.h transactions/mytrade.h              # sideways
expect 1 transactions mytrade.cpp collect/formcs.h            # sideways
expect 1 widgets messagebox.cpp settings/settingmain.h        # upward
expect 1 settings settingmain.cpp shell/mainwindow.h          # upward
expect 0 settings settingmain.cpp settings/settingspages.h    # its own folder
expect 0 refunds refundsuredialog.cpp widgets/settingspage.h  # below
expect 0 shell mainwindow.cpp settings/settingmain.h          # the shell sees every window folder
expect 1 gateway listingfetch.cpp payments/journal.h         # the gateway is below the payments
expect 1 app usersession.cpp gateway/replies.h                # app is below the gateway
expect 0 payments chargecontroller.cpp gateway/replies.h      # below
expect 1 collect formcs.cpp gateway/requests.h                 # windows ask the till's services, never the gateway
expect 1 core till.cpp widgets/messagebox.h                    # the till draws nothing
expect 1 core chargeservice.cpp core/till.h                    # a service is handed its parts of the till
expect 0 core till.cpp core/till.h                             # the till's own
exit $status
