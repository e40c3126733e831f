#!/usr/bin/env bash
# Sets up and runs every test: installs what is missing, builds (a -Werror build and an ASan+UBSan build),
# starts what the tests need (a virtual display, a CUPS queue that captures print jobs) and runs CTest.
# Exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")"
root="$PWD"
jobs=$(nproc)
# The compiler cache is shared by every checkout on the machine (CI builds a fresh clone in another folder): paths
# under the checkout are hashed relative to it, so a clone finds what an earlier build of the same sources left.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
status=0

step() { printf '\n==> %s\n' "$*"; }

step "Installing missing packages"
scripts/install-deps.sh test || exit 1

# The Windows libraries (once per machine: about 40 minutes of both cores) are built in the background from here on,
# at the lowest priority: they take the processor time the builds leave and the tests spend waiting, instead of
# running alone at the end. The Windows step waits for them (build-deps.sh holds a lock) and reports a failure.
deps_pid=
if [[ ${CASHIER_SKIP_WINDOWS:-} != 1 ]] && scripts/install-deps.sh windows >/dev/null 2>&1 &&
    ! scripts/windows/build-deps.sh --check >/dev/null 2>&1; then
    step "Building the Windows libraries in the background (log: /tmp/cashier-windows-deps.log)"
    scripts/windows/build-deps.sh >/tmp/cashier-windows-deps.log 2>&1 &
    deps_pid=$!
fi

step "Checking the code format"
mapfile -t sources < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
if ((${#sources[@]})) && ! clang-format --dry-run --Werror "${sources[@]}" 2>/tmp/cashier-format.log; then
    head -40 /tmp/cashier-format.log
    echo "Code is not formatted: run clang-format -i on the files above." >&2
    status=1
fi

step "Checking that no folder includes a folder above it"
scripts/check-layers.sh || status=1

step "Building (Release, warnings are errors)"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Release -DCASHIER_WERROR=ON -DCASHIER_TESTS=ON \
    -DCASHIER_TEST_SEAMS=ON >/dev/null || exit 1
cmake --build build-test -j"$jobs" || exit 1

step "Compile-checking the client for Windows (mingw-w64, syntax only)"
scripts/check-windows.sh build-test || status=1

step "Building (ASan + UBSan)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCASHIER_WERROR=ON -DCASHIER_SANITIZE=ON -DCASHIER_TESTS=ON \
    -DCASHIER_TEST_SEAMS=ON >/dev/null || exit 1
cmake --build build-asan -j"$jobs" || exit 1

step "Starting a virtual display"
display=:${CASHIER_TEST_DISPLAY:-93}
# -noreset: the server must not restart (and refuse connections meanwhile) each time its last client goes.
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/tmp/cashier-xvfb.log 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null' EXIT
for _ in $(seq 100); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && break
    sleep 0.1
done
export DISPLAY=$display

if [[ -x tests/e2e/cups/setup-capture-queue.sh ]]; then
    step "Preparing the capturing print queue"
    tests/e2e/cups/setup-capture-queue.sh || status=1
fi

# Full stacks on allocation so the suppressions can recognise what Qt's platform plugins keep for the process.
export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

step "Running the tests (Release build)"
ctest --test-dir build-test --output-on-failure --no-tests=error -j"$jobs" || status=1

step "Running the unit and widget tests (ASan + UBSan build)"
ctest --test-dir build-asan --output-on-failure --no-tests=error -j"$jobs" -LE e2e || status=1

# ---- Debian packages: built as a release is (package.sh's own tree, without the test hooks), unpacked and checked
# (menu entry, icons, a start from the launcher that keeps its settings private in the per-user folder, the
# sandbox in its own package only). ----
step "Building and checking the Debian packages"
if mapfile -t debs < <(./package.sh | tail -2) && ((${#debs[@]} == 2)) && [[ -f "${debs[0]}" && -f "${debs[1]}" ]]; then
    tests/package/check-package.sh "${debs[0]}" "${debs[1]}" || status=1
else
    echo "package.sh failed" >&2
    status=1
fi

# ---- Fuzzing: the libFuzzer targets in their own clang tree (ASan + UBSan), a fixed time each. A finding fails
# the run and keeps its input under build-fuzz/fuzz/artifacts/<target>/. ----
step "Building the fuzz targets (clang, ASan + UBSan)"
if cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCASHIER_FUZZ=ON \
    -DCASHIER_TESTS=OFF >/dev/null && cmake --build build-fuzz -j"$jobs" --target fuzz; then
    step "Fuzzing"
    fuzz/run.sh build-fuzz || status=1
else
    status=1
fi

# ---- Windows: the client, its unit and widget tests and its installer cross-built with mingw-w64 (the libraries
# built once into ~/.cache/cashier-windows/), the tests run under Wine, then the installed client end to end. ----
if [[ ${CASHIER_SKIP_WINDOWS:-} == 1 ]]; then
    step "Windows build and tests: skipped (CASHIER_SKIP_WINDOWS=1)"
else
    step "Building for Windows and testing under Wine"
    if [[ -n $deps_pid ]] && ! wait "$deps_pid"; then
        echo "The Windows libraries failed to build:" >&2
        tail -n 30 /tmp/cashier-windows-deps.log >&2
    fi
    scripts/windows/test.sh build-windows-test build-test || status=1
fi

if [[ $status -ne 0 ]]; then
    step "FAILED"
else
    step "All tests passed"
fi
exit $status
