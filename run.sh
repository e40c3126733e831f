#!/usr/bin/env bash
# Sets up and runs the cashier client against the local sandbox gateway.
#   ./run.sh          build (Release), start the sandbox gateway if needed, start the client on this display
#   ./run.sh --xvfb   the same on a virtual display (for machines without a screen)
set -euo pipefail
cd "$(dirname "$0")"
root="$PWD"

use_xvfb=0
for arg in "$@"; do
    case "$arg" in
        --xvfb) use_xvfb=1 ;;
        -h|--help) sed -n '2,4p' "$0"; exit 0 ;;
        *) echo "Unknown option: $arg (try --help)" >&2; exit 2 ;;
    esac
done

scripts/install-deps.sh run

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target cashier gateway-sandbox

mkdir -p var/client var/sandbox
# The client's settings (login name, password digest) are the user's alone.
chmod 700 var/client

port=8765
if ! (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; then
    echo "Starting the sandbox gateway on 127.0.0.1:$port (log: var/sandbox/sandbox.log)"
    nohup build/sandbox/gateway-sandbox --port $port --db "$root/var/sandbox/sandbox.db" \
        >>var/sandbox/sandbox.log 2>&1 &
    for _ in $(seq 50); do
        (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break
        sleep 0.1
    done
else
    echo "A gateway is already listening on 127.0.0.1:$port; using it."
fi

if [[ $use_xvfb -eq 0 && -z "${DISPLAY:-}" ]]; then
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

echo "Starting the client in var/client (data.ini and app.config live there). Demo account: demo / demo123"
cd var/client
exec "$root/build/app/cashier"
