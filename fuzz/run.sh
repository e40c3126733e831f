#!/usr/bin/env bash
# Runs every fuzz target of a CASHIER_FUZZ build tree for a fixed time each, from its seed corpus.
#   fuzz/run.sh BUILD_DIR [SECONDS_PER_TARGET]     (default 20, less when there are so many targets that the
#                                                   whole run would pass 2 minutes)
# Prints executions per second per target. A crash, a sanitizer report or a broken check fails the run; the input
# that caused it is kept as BUILD_DIR/fuzz/artifacts/<target>/crash-* (rerun: BUILD_DIR/fuzz/<target> FILE).
set -uo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: fuzz/run.sh BUILD_DIR [SECONDS]}
targets=$(grep -c . "$build/fuzz/targets.txt")
seconds=${2:-$((targets > 5 ? 110 / targets : 20))}
status=0

# Leaks count as findings too (a target that parses JSON carries the one Qt leak it ignores: qtjsonleak.h).
# UBSan stops at its first report so libFuzzer keeps the input.
export ASAN_OPTIONS="detect_leaks=1:symbolize=1"
export LSAN_OPTIONS="print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

while read -r target; do
    [[ -n "$target" ]] || continue
    exe="$build/fuzz/$target"
    seeds="fuzz/corpus/$target"
    work="$build/fuzz/corpus/$target"       # what the run adds; the seeds in the repository stay as they are
    artifacts="$build/fuzz/artifacts/$target/"
    log="$build/fuzz/$target.log"
    dict=()
    [[ -f "fuzz/$target.dict" ]] && dict=(-dict="fuzz/$target.dict")
    mkdir -p "$work" "$artifacts"
    "$exe" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts" -rss_limit_mb=2048 \
        "${dict[@]}" "$work" "$seeds" >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    if [[ $rc -ne 0 ]]; then
        status=1
        echo "FAIL $target (exit $rc); reproducer: $(ls -t "$artifacts" 2>/dev/null | head -1 | sed "s|^|$artifacts|")"
        grep -E "ERROR|runtime error|fuzz check failed|SUMMARY|#[0-9]+ 0x" "$log" | head -20
        echo "  full log: $log"
    else
        printf '%-20s %8s runs in %ss, %6s exec/s\n' "$target" "${runs:-?}" "$seconds" "${rate:-?}"
    fi
done <"$build/fuzz/targets.txt"
exit $status
