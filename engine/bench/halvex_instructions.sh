#!/bin/bash
# Instruction counts of whole halvex processes on the workbench case (Mo/Mo
# 28 kV, 5 cm, 50 %, FID 65, FCD 60), under callgrind, so independent of the
# machine's load:
#   halvex_instructions.sh BUILD_DIR N1 N2 "HALVEX [OPTIONS]"...
# e.g. halvex_instructions.sh build/release 1E+05 3E+05 /old/halvex "build/release/run/halvex --no-maps"
# Each command runs twice on one thread with seed 1, at N1 and N2 histories.
# Per command: the instructions of each run, per history ((I2 - I1) / (N2 -
# N1)) and the fixed cost of a run (I1 less N1 histories' worth), set-up and
# save. Valgrind hides the processor's SHA and AVX-512 instructions, so
# libcrypto's hash counts more here than it costs in a real run.
set -euo pipefail
if [ $# -lt 4 ]; then
    echo "usage: $0 BUILD_DIR N1 N2 \"HALVEX [OPTIONS]\"..." >&2
    exit 2
fi
build=$1 n1=$2 n2=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/kv_engine_fom" --write-case "$work" --histories "$n1" >/dev/null
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
count() { # histories, command
    sed -i "7s/.*/$1/" "$work/MC.dat"
    # shellcheck disable=SC2086
    (cd "$work" && valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" $2 --seed 1 --threads 1 \
        >/dev/null 2>"$work/cg.err")
    rm -f "$work/fom.vesk" "$work/fom.vesk.sigma"
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/cg.err"
}
for cmd in "$@"; do
    i1=$(count "$n1" "$cmd")
    i2=$(count "$n2" "$cmd")
    awk -v c="$cmd" -v a="$i1" -v b="$i2" -v n1="$n1" -v n2="$n2" 'BEGIN {
        per = (b - a) / (n2 - n1)
        printf "%s\n    %.4g instructions at %d histories, %.4g at %d: %.0f per history, fixed cost %.3g\n",
               c, a, n1, b, n2, per, a - per * n1 }'
done
