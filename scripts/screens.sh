#!/usr/bin/env bash
# Pictures of every screen, to check that a change meant to keep the looks keeps them pixel for pixel.
#
#   scripts/screens.sh shoot BUILD_DIR OUT_DIR     draws the screens of BUILD_DIR's client into OUT_DIR/*.png
#   scripts/screens.sh compare BEFORE_DIR AFTER_DIR  counts the differing pixels of each pair (ImageMagick)
#
# The pictures are drawn offscreen, at a fixed date and time, with the fonts of this machine: compare pictures drawn
# on the same machine only, and build each side in a fresh build folder: a folder reused across a checkout can keep
# forms generated from the other commit (two pictures differed for that reason alone).
set -uo pipefail

case "${1:-}" in
shoot)
    build=${2:?build dir}
    out=${3:?output dir}
    rm -rf "$out" && mkdir -p "$out"
    # The query page and the shift summary show today's date: the same day for both sets of pictures.
    LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=1 FAKETIME_DONT_FAKE_MONOTONIC=1 \
        faketime -f '@2026-12-09 10:00:00' "$build/tests/shoot_screens" "$out"
    ;;
compare)
    before=${2:?before dir}
    after=${3:?after dir}
    status=0
    for b in "$before"/*.png; do
        name=$(basename "$b")
        a="$after/$name"
        if [[ ! -f "$a" ]]; then
            echo "$name: missing after"
            status=1
            continue
        fi
        # AE: the number of pixels that differ (exit status 1 when any do, 2 on an error such as another size).
        diff=$(compare -metric AE "$b" "$a" null: 2>&1)
        echo "$name: $diff"
        [[ "$diff" == "0" ]] || status=1
    done
    for a in "$after"/*.png; do
        [[ -f "$before/$(basename "$a")" ]] || { echo "$(basename "$a"): new"; status=1; }
    done
    exit $status
    ;;
*)
    sed -n '2,9p' "$0"
    exit 2
    ;;
esac
