#!/bin/bash
# Instructions per history of tiravex under callgrind (so independent of the
# machine's load) for one sweep and the same sweep as step-and-shoot
# projections: the workbench box of engine/tests/golden/tomosynthesis over
# +-25 deg, without maps, one thread, seed 1.
#   tiravex_scan_instructions.sh N1 N2 PROJECTIONS TIRAVEX...
# e.g. tiravex_scan_instructions.sh 1E+05 3E+05 25 /old/tiravex build/release/run/tiravex
# Per binary and scan (continuous, PROJECTIONS projections): the instructions
# per history ((I2 - I1) / (N2 - N1)) and fixed cost, and whether the two runs' result files
# are the first binary's, byte for byte but the run time, the engine version
# and the content hash.
set -euo pipefail
if [ $# -lt 4 ]; then
    echo "usage: $0 N1 N2 PROJECTIONS TIRAVEX..." >&2
    exit 2
fi
n1=$1 n2=$2 projections=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
cp "$here/../tests/golden/tomosynthesis/"*.dat "$here/../../data/BR12-50.dat" "$work/"
sed -i "6s/.*/025.0/" "$work/MC.dat"
count() { # binary, histories, scan, tag
    sed -i "7s/.*/$2/" "$work/MC.dat"
    if [ "$3" = continuous ]; then rm -f "$work/Geometry.dat"; else echo "projections = $3" >"$work/Geometry.dat"; fi
    (cd "$work" && valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$1" --seed 1 --threads 1 \
        --no-maps >/dev/null 2>"$work/cg.err")
    # the bytes but the run time and what hashes it (as engine_golden_tests compares them)
    grep -av -e " Run time: " -e "engine_version = " -e "content_sha256" "$work/golden.vesk" >"$work/$4.vesk"
    rm -f "$work/golden.vesk"
    rm -f "$work/golden.vesk.sigma"
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/cg.err"
}
first=
for bin in "$@"; do
    for scan in continuous "$projections"; do
        tag=$(basename "$(dirname "$bin")")-$(echo "$bin" | cksum | cut -d' ' -f1)-$scan
        i1=$(count "$bin" "$n1" "$scan" "$tag-1")
        i2=$(count "$bin" "$n2" "$scan" "$tag-2")
        same=
        if [ -n "$first" ]; then
            ref=$first-$scan
            cmp -s "$work/$ref-1.vesk" "$work/$tag-1.vesk" && cmp -s "$work/$ref-2.vesk" "$work/$tag-2.vesk" &&
                same=", result files identical to the first binary's" || same=", result files DIFFER"
        fi
        awk -v c="$bin" -v s="$scan" -v a="$i1" -v b="$i2" -v n1="$n1" -v n2="$n2" -v same="$same" 'BEGIN {
            per = (b - a) / (n2 - n1)
            printf "%s, %s: %.4g instructions at %d histories, %.4g at %d: %.0f per history, fixed cost %.3g%s\n",
                   c, s, a, n1, b, n2, per, a - per * n1, same }'
    done
    [ -n "$first" ] || first=$(basename "$(dirname "$bin")")-$(echo "$bin" | cksum | cut -d' ' -f1)
done
