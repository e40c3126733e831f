#!/usr/bin/env bash
# Compile-checks the client for Windows without a Windows machine: every client source, with platform_win.cpp in
# place of platform_linux.cpp, goes through the mingw-w64 compiler with -fsyntax-only, using the flags of the Linux
# build's compile_commands.json (its defines — the version included —, the generated ui_*.h and the Linux Qt
# headers; the Qt make-spec swapped for win32-g++). It catches what only the Windows side sees (#ifdef Q_OS_WIN
# branches, platform_win.cpp, windows.h) failing to compile; it neither links nor runs anything.
# Usage: scripts/check-windows.sh [BUILD_DIR]   (a configured and built tree; default build-test)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="${1:-build-test}"
db="$build/compile_commands.json"
cxx=x86_64-w64-mingw32-g++-posix

command -v "$cxx" >/dev/null || { echo "check-windows: $cxx is missing (g++-mingw-w64-x86-64-posix)" >&2; exit 1; }
[[ -f "$db" ]] || { echo "check-windows: no $db: configure and build $build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The C libraries' headers live in /usr/include beside glibc's, which must not reach the Windows compiler: only
# theirs are offered, from a folder of their own.
mkdir -p "$work/include"
ln -s /usr/include/sqlite3.h /usr/include/sodium.h /usr/include/sodium /usr/include/spdlog /usr/include/fmt "$work/include/"

# One line per source: its compiler arguments, quoted for the shell.
python3 - "$root" "$db" "$work/include" >"$work/commands" <<'EOF'
import json, shlex, sys

root, db, shim = sys.argv[1], sys.argv[2], sys.argv[3]
client = {"app", "gateway", "payments", "receipts", "widgets", "collect", "transactions", "refunds", "settings",
          "shell", "platform"}
seen = set()
for entry in json.load(open(db)):
    path = entry["file"]
    if not path.startswith(root + "/"):
        continue
    rel = path[len(root) + 1:]
    if rel.split("/")[0] not in client or rel in seen:
        continue
    seen.add(rel)
    if rel == "platform/platform_linux.cpp":
        rel = "platform/platform_win.cpp"  # the Windows side of the same library, with the same flags
    args = shlex.split(entry["command"])
    keep = []
    i = 1
    while i < len(args):
        a = args[i]
        if a in ("-I", "-isystem", "-D"):
            a, i = a + args[i + 1], i + 1
        if a.startswith("-isystem") and a.endswith("/mkspecs/linux-g++"):
            a = a.replace("/mkspecs/linux-g++", "/mkspecs/win32-g++")
        if a.startswith(("-I", "-isystem", "-D", "-std=")):
            keep.append(a)
        i += 1
    keep.append("-isystem" + shim)
    print(" ".join(shlex.quote(a) for a in keep + [root + "/" + rel]))
EOF

grep -q 'platform_win.cpp' "$work/commands" || { echo "check-windows: platform_win.cpp is not among the sources" >&2; exit 1; }

count=$(wc -l <"$work/commands")
# Each file on its own, the machine's cores in parallel; a failing file prints its errors and fails the check.
if ! tr '\n' '\0' <"$work/commands" | xargs -0 -P"$(nproc)" -n1 bash -c \
    'eval "set -- $1"; '"$cxx"' -fsyntax-only -Wall -Wextra -Werror "$@" 2>&1 || { echo "check-windows: FAILED ${@: -1}"; exit 1; }' _; then
    echo "check-windows: a client source does not compile for Windows (above)" >&2
    exit 1
fi
echo "check-windows: $count client sources compile for Windows (mingw-w64, syntax only)"
