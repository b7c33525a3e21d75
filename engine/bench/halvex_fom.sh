#!/bin/bash
# Figure of merit of whole halvex runs on the command line, two or more
# programs measured turn about under the same conditions:
#   halvex_fom.sh BUILD_DIR HISTORIES PAIRS HALVEX...
# Each program runs 2 x PAIRS times on the workbench case (Mo/Mo 28 kV, 5 cm,
# 50 %, FID 65, FCD 60); sigma comes from the spread of each pair of result
# files, the time is the mean wall time of a whole process. Prefix with
# `nice -n 10` to run everything niced.
set -euo pipefail
if [ $# -lt 4 ]; then
    echo "usage: $0 BUILD_DIR HISTORIES PAIRS HALVEX..." >&2
    exit 2
fi
build=$1 histories=$2 pairs=$3
shift 3
fom="$build/bench/kv_engine_fom"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$fom" --write-case "$work" --histories "$histories" >/dev/null
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
for p in $(seq 1 "$pairs"); do
    for run in a b; do
        n=0
        for prog in "$@"; do
            n=$((n + 1))
            start=$(date +%s.%N)
            (cd "$work" && "$prog" >/dev/null)
            end=$(date +%s.%N)
            mv "$work/fom.vesk" "$work/p$n-$p$run.vesk"
            awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f\n", b - a}' >>"$work/p$n-$p.seconds"
        done
    done
    n=0
    for prog in "$@"; do
        n=$((n + 1))
        seconds=$(awk '{s += $1} END {printf "%.3f", s / NR}' "$work/p$n-$p.seconds")
        printf "%-40s pair %d: " "$prog" "$p"
        "$fom" --compare "$work" "p$n-${p}a.vesk" "p$n-${p}b.vesk" --seconds "$seconds"
    done
done
