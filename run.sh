#!/usr/bin/env bash
# Sets up and runs the cashier client against the local sandbox gateway, with a POS and its customer display
# played by scripts/pos-standin.py on pseudo-terminals.
#   ./run.sh             build (Release), start the sandbox gateway if needed, the POS stand-in and the client
#   ./run.sh --xvfb      the same on a virtual display (for machines without a screen)
#   ./run.sh --no-pos    without the POS stand-in: the client opens the serial ports data.ini names (or COMn's own)
#   ./run.sh pos 25.00   from another shell while the client runs: the POS stand-in sends 25.00
# The POS stand-in's log, with the bytes the customer display received: var/pos/standin.log.
# Environment: CASHIER_BUILD_DIR=<dir> runs that already built tree instead of building ./build;
# CASHIER_SANDBOX_PORT (8765) is the gateway's port; CASHIER_XVFB_DISPLAY (77) the virtual display's number.
set -euo pipefail
invoked_from="$PWD"
cd "$(dirname "$0")"
root=$(pwd -P)
pos_dir="$root/var/pos"
client_dir="$root/var/client"

# The pid of the POS stand-in that a running ./run.sh started; fails when there is none.
standin_pid_running() {
    local pid
    pid=$(cat "$pos_dir/standin.pid" 2>/dev/null) || return 1
    [[ $pid =~ ^[0-9]+$ ]] || return 1
    tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q 'pos-standin\.py' || return 1
    echo "$pid"
}

# ./run.sh pos AMOUNT: hands the amount to the running stand-in through its named pipe and shows what it did.
send_amount() {
    if (($# != 1)) || [[ -z $1 ]]; then
        echo "Usage: ./run.sh pos AMOUNT   (for example ./run.sh pos 25.00)" >&2
        exit 2
    fi
    if [[ $1 == *$'\n'* ]] || LC_ALL=C grep -q '[^ -~]' <<<"$1"; then
        echo "The POS sends printable ASCII only (digits, a point, letters): \"$1\" cannot be sent." >&2
        exit 2
    fi
    if ! standin_pid_running >/dev/null || [[ ! -p $pos_dir/amounts ]]; then
        echo "The POS stand-in is not running: start the client with ./run.sh (not --no-pos) first." >&2
        exit 1
    fi
    local log="$pos_dir/standin.log" before
    before=$(stat -c %s "$log" 2>/dev/null || echo 0)
    if ! timeout 5 bash -c 'printf "%s\n" "$1" >"$2"' _ "$1" "$pos_dir/amounts"; then
        echo "The POS stand-in did not take the amount (var/pos/amounts)." >&2
        exit 1
    fi
    # The stand-in logs the bytes it sent, then those the client passed on to the display (with 有客显 ticked).
    for _ in $(seq 30); do
        tail -c +$((before + 1)) "$log" 2>/dev/null | grep -q 'POS -> ' && break
        sleep 0.1
    done
    for _ in $(seq 5); do
        tail -c +$((before + 1)) "$log" 2>/dev/null | grep -q 'display <- ' && break
        sleep 0.1
    done
    tail -c +$((before + 1)) "$log"
    echo "(the POS stand-in's log: var/pos/standin.log)"
}

if [[ ${1:-} == pos ]]; then
    shift
    send_amount "$@"
    exit 0
fi

use_xvfb=0
use_pos=1
for arg in "$@"; do
    case "$arg" in
        --xvfb) use_xvfb=1 ;;
        --no-pos) use_pos=0 ;;
        -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
        *) echo "Unknown option: $arg (try --help)" >&2; exit 2 ;;
    esac
done

port=${CASHIER_SANDBOX_PORT:-8765}
if [[ ! $port =~ ^[0-9]+$ ]] || ((port < 1 || port > 65535)); then
    echo "CASHIER_SANDBOX_PORT must be a port number, not \"$port\"." >&2
    exit 2
fi

scripts/install-deps.sh run

if [[ -n ${CASHIER_BUILD_DIR:-} ]]; then
    # A tree built elsewhere (for instance the test build): run it as it is.
    build=$(cd "$invoked_from" && cd "$CASHIER_BUILD_DIR" && pwd)
    for program in shell/cashier sandbox/gateway-sandbox; do
        if [[ ! -x $build/$program ]]; then
            echo "CASHIER_BUILD_DIR=$CASHIER_BUILD_DIR has no $program: build it first." >&2
            exit 1
        fi
    done
    echo "Using the build in $build"
else
    build="$root/build"
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build -j"$(nproc)" --target cashier gateway-sandbox
fi
client_bin=$(readlink -f "$build/shell/cashier")

mkdir -p "$client_dir" var/sandbox var/sandbox/updates "$pos_dir"
# The client's settings (login name, password digest) are the user's alone.
chmod 700 "$client_dir"

if ! (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; then
    echo "Starting the sandbox gateway on 127.0.0.1:$port (log: var/sandbox/sandbox.log)"
    # It is the vendor's site too: new versions' setups and packages put in var/sandbox/updates are served.
    nohup "$build/sandbox/gateway-sandbox" --port "$port" --db "$root/var/sandbox/sandbox.db" \
        --updates "$root/var/sandbox/updates" >>var/sandbox/sandbox.log 2>&1 &
    for _ in $(seq 50); do
        (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break
        sleep 0.1
    done
else
    echo "A gateway is already listening on 127.0.0.1:$port; using it."
fi
python3 scripts/clientfiles.py gateway "$client_dir/data.ini" "$port"

if [[ $use_xvfb -eq 0 && -z "${DISPLAY:-}" && "${QT_QPA_PLATFORM:-}" != offscreen ]]; then
    echo "No display: DISPLAY is not set, so the client has no screen to open its windows on."
    if [[ -t 0 ]]; then
        read -r -p "Start it on a virtual display (Xvfb) instead? [Y/n] " answer
        [[ "${answer:-Y}" =~ ^[Yy]?$ ]] || exit 1
        use_xvfb=1
    else
        echo "Run ./run.sh --xvfb to start it on a virtual display." >&2
        exit 1
    fi
fi

if [[ $use_xvfb -eq 1 ]]; then
    display=:${CASHIER_XVFB_DISPLAY:-77}
    if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
        Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >var/xvfb.log 2>&1 &
        for _ in $(seq 50); do
            xdpyinfo -display "$display" >/dev/null 2>&1 && break
            sleep 0.1
        done
    fi
    export DISPLAY=$display
    echo "Virtual display $DISPLAY is up; look at it with: DISPLAY=$DISPLAY import -window root shot.png"
fi

starting="Starting the client in var/client (data.ini and app.config live there). Demo account: demo / demo123"
if [[ $use_pos -eq 0 ]]; then
    echo "$starting"
    cd "$client_dir"
    exec "$client_bin"
fi

# ---- The POS stand-in: it lives as long as the client. ----

if pid=$(standin_pid_running); then
    echo "A POS stand-in (pid $pid) is already serving a client that ./run.sh started in var/client." >&2
    echo "Close that client first, or start this one without the stand-in: ./run.sh --no-pos" >&2
    exit 1
fi

# The ports the client will open: those of its record (a new record has 有客显 ticked, so the display stand-in
# receives what the POS sends).
ports=$(python3 scripts/clientfiles.py record "$client_dir/app.config")
read -r soft show shown created <<<"$ports"
if ((soft < 1 || soft > 9)); then
    echo "app.config names COM$soft as the software port; the POS stand-in plays COM1 to COM9 only." >&2
    echo "Choose a port on 设置 → 客显设置, or start with ./run.sh --no-pos" >&2
    exit 1
fi
standin_args=(--port "COM$soft")
if ((show >= 1 && show <= 9 && show != soft)); then
    standin_args+=(--display "COM$show")
fi

standin_pid=""
client_pid=""
stop_children() {
    # Only while the client was not waited for: after that its pid may belong to another process.
    if [[ -n $client_pid ]]; then
        kill "$client_pid" 2>/dev/null || true
    fi
    if [[ -n $standin_pid ]]; then
        kill "$standin_pid" 2>/dev/null || true
        wait "$standin_pid" 2>/dev/null || true
    fi
}
trap stop_children EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

rm -f "$pos_dir/standin.pid"
python3 scripts/pos-standin.py "${standin_args[@]}" --ini "$client_dir/data.ini" --fifo "$pos_dir/amounts" \
    --pid-file "$pos_dir/standin.pid" --exit-with-parent </dev/null >"$pos_dir/standin.log" 2>&1 &
standin_pid=$!
for _ in $(seq 300); do
    [[ -s $pos_dir/standin.pid ]] && break
    kill -0 "$standin_pid" 2>/dev/null || break
    sleep 0.1
done
if [[ ! -s $pos_dir/standin.pid ]]; then
    echo "The POS stand-in did not start:" >&2
    tail -n 20 "$pos_dir/standin.log" >&2
    exit 1
fi

echo "POS stand-in on COM$soft${standin_args[2]:+, customer display stand-in on ${standin_args[3]}} (mapped in var/client/data.ini)."
if ((created)); then
    echo "  var/client/app.config was new: it has 有客显 ticked with COM$show as the display port."
elif ((!shown)); then
    echo "  有客显 is not ticked in var/client/app.config: the display stand-in receives nothing until it is."
fi
echo "  Send an amount from another shell: ./run.sh pos 25.00"
echo "  What the POS sent and the customer display received: var/pos/standin.log"

echo "$starting"
(cd "$client_dir" && exec "$client_bin") &
client_pid=$!
status=0
wait "$client_pid" || status=$?
client_pid=""

# A shift handover ends the client after starting a new copy in the same folder: the POS stays for that one.
other_clients() {
    local exe pid
    for exe in $(find /proc -mindepth 2 -maxdepth 2 -name exe -lname "$client_bin" 2>/dev/null); do
        pid=${exe#/proc/}
        pid=${pid%/exe}
        [[ $(readlink "/proc/$pid/cwd" 2>/dev/null) == "$client_dir" ]] && echo "$pid"
    done
    return 0
}
if [[ -n $(other_clients) ]]; then
    echo "Another copy of the client runs in var/client; the POS stand-in stays until it ends."
    while [[ -n $(other_clients) ]]; do
        sleep 1
    done
fi
exit "$status"
