#!/usr/bin/env bash
# Start-up time (process start to its first window mapped) and resident memory once the window is up,
# for the cashier client and for a minimal Qt widgets program, on a virtual display; then the client's memory
# at the main window after signing in to a sandbox gateway with the demo account.
# The two start in turns and the ratio of each pair is given, so a machine loaded by other work is measured fairly.
# Usage: bench/startup/startup.sh [BUILD_DIR] [RUNS]   (BENCH_NO_SIGNIN=1: start-up only)
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
runs="${2:-10}"
cashier="$PWD/$build/shell/cashier"
minimal="$PWD/$build/bench/startup/bench-minimal-widget"
for bin in "$cashier" "$minimal"; do
    [[ -x "$bin" ]] || { echo "missing $bin: build first (cmake --build $build)" >&2; exit 1; }
done

display=:${BENCH_DISPLAY:-71}
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
for _ in $(seq 100); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.05; done
export DISPLAY=$display

work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
# No gateway answers here, and the version check is off, so only start-up itself is measured.
printf '[data_config]\ncheck_updata=1\ngatewayUrl=http://127.0.0.1:9/api.php/Gateway/index\n' >"$work/data.ini"

measure() {  # binary, window title -> prints "ms rss_kib"
    local bin=$1 title=$2 start end pid rss
    start=$(date +%s%N)
    (cd "$work" && exec "$bin" >/dev/null 2>&1) &
    pid=$!
    for _ in $(seq 400); do
        xdotool search --onlyvisible --pid "$pid" --name "^${title}\$" >/dev/null 2>&1 && break
        sleep 0.005
    done
    end=$(date +%s%N)
    sleep 0.5
    rss=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
    kill "$pid"; wait "$pid" 2>/dev/null || true
    echo "$(((end - start) / 1000000)) $rss"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# The two programs take turns, so a machine busy with other work slows both alike; the ratio of each pair is kept.
measure "$minimal" "minimal" >/dev/null  # warm the file cache
measure "$cashier" "登录界面" >/dev/null
mt=() mr=() ct=() cr=() ratios=()
for _ in $(seq "$runs"); do
    out=$(measure "$minimal" "minimal")
    mt+=("${out% *}") mr+=("${out#* }")
    out=$(measure "$cashier" "登录界面")
    ct+=("${out% *}") cr+=("${out#* }")
    ratios+=("$(awk -v c="${ct[-1]}" -v m="${mt[-1]}" 'BEGIN {printf "%.2f", c / (m > 0 ? m : 1)}')")
done
printf '%-22s start-up to window %5d ms (median of %d)   RSS %6d KiB\n' "minimal Qt widgets" \
    "$(printf '%s\n' "${mt[@]}" | median)" "$runs" "$(printf '%s\n' "${mr[@]}" | median)"
printf '%-22s start-up to window %5d ms (median of %d)   RSS %6d KiB\n' "cashier (login window)" \
    "$(printf '%s\n' "${ct[@]}" | median)" "$runs" "$(printf '%s\n' "${cr[@]}" | median)"
printf 'cashier / minimal, pair by pair: median %s (%s)\n' "$(printf '%s\n' "${ratios[@]}" | median)" "${ratios[*]}"

# Memory at the main window: sign in against a sandbox of our own, choose the first store.
sandbox="$PWD/$build/sandbox/gateway-sandbox"
[[ -x "$sandbox" && -z "${BENCH_NO_SIGNIN:-}" ]] || exit 0
"$sandbox" --port 0 --db "$work/sandbox.db" --quiet >"$work/sandbox.out" 2>&1 &
sandbox_pid=$!
trap 'kill $xvfb $sandbox_pid 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do grep -qo '127.0.0.1:[0-9]*' "$work/sandbox.out" 2>/dev/null && break; sleep 0.05; done
port=$(grep -o '127.0.0.1:[0-9]*' "$work/sandbox.out" | head -1 | cut -d: -f2)
printf '[data_config]\ncheck_updata=1\ngatewayUrl=http://127.0.0.1:%s/api.php/Gateway/index\n' "$port" >"$work/data.ini"
wait_window() {  # pid, title
    for _ in $(seq 600); do
        xdotool search --onlyvisible --pid "$1" --name "^$2\$" 2>/dev/null | head -1 | grep . && return 0
        sleep 0.01
    done
    return 1
}
rsss=()
for _ in $(seq "$runs"); do
    (cd "$work" && exec "$cashier" >/dev/null 2>&1) &
    pid=$!
    w=$(wait_window $pid "登录界面")
    xdotool windowfocus --sync "$w" 2>/dev/null || xdotool windowfocus "$w"
    xdotool type --delay 20 demo
    xdotool key Tab
    xdotool type --delay 20 demo123
    xdotool key Return
    w=$(wait_window $pid "Dialog")
    xdotool windowfocus "$w"
    sleep 0.3
    xdotool key KP_Enter
    wait_window $pid "柚屿智付" >/dev/null
    sleep 0.5
    rsss+=("$(awk '/VmRSS/ {print $2}' /proc/$pid/status)")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
done
r=$(printf '%s\n' "${rsss[@]}" | median)
printf '%-22s at the main window after sign-in                 RSS %6d KiB\n' "cashier (main window)" "$r"
