#!/bin/bash
# Time to sAGD 1 sigma = 0.1 % of whole halvex runs on the command line, two
# or more programs measured turn about under the same conditions:
#   halvex_target.sh BUILD_DIR HISTORIES ROUNDS "HALVEX [OPTIONS]"...
# e.g. halvex_target.sh build/release 4E+06 5 /old/halvex "build/release/run/halvex --no-maps"
# Each round runs every command on the workbench case (Mo/Mo 28 kV, 5 cm, 50 %,
# FID 65, FCD 60) with the round's seed, once at HISTORIES and once at 1000
# histories, whose wall time is the run's fixed cost (start-up, set-up, save).
# Per command: the medians of the wall times, histories per second of the
# whole process, the root mean square of the sAGD's stated 1 sigma (the
# trailer's where there is one, else the header's two decimals), and the time
# to 0.1 %: fixed + (wall - fixed) x (sigma / 0.1 %)^2, nearly the wall time
# itself when HISTORIES reach about 0.1 %. Prefix with `nice -n 10` to run
# everything niced.
set -euo pipefail
if [ $# -lt 4 ]; then
    echo "usage: $0 BUILD_DIR HISTORIES ROUNDS \"HALVEX [OPTIONS]\"..." >&2
    exit 2
fi
build=$1 histories=$2 rounds=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/kv_engine_fom" --write-case "$work" --histories "$histories" >/dev/null
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
for r in $(seq 1 "$rounds"); do
    n=0
    for cmd in "$@"; do
        n=$((n + 1))
        sed -i "7s/.*/1000/" "$work/MC.dat"
        start=$(date +%s.%N)
        # shellcheck disable=SC2086
        (cd "$work" && $cmd --seed "$r" >/dev/null)
        end=$(date +%s.%N)
        fixed=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f", b - a}')
        sed -i "7s/.*/$histories/" "$work/MC.dat"
        start=$(date +%s.%N)
        # shellcheck disable=SC2086
        (cd "$work" && $cmd --seed "$r" >/dev/null)
        end=$(date +%s.%N)
        # " Histories: 1.0E+09 asked, 786432 done ...", " Uncertainty (1 sigma): 100 % dose 0.05 %, sAGD 0.10 %"
        done_=$(grep -m1 '^ Histories:' "$work/fom.vesk" | sed 's/.* asked, \([0-9]*\) done.*/\1/')
        sagd=$(grep -a -m1 '^sagd_sigma_percent' "$work/fom.vesk" | sed 's/^[^=]*= *\([0-9.]*\).*/\1/' || true)
        [ -n "$sagd" ] || sagd=$(grep -m1 'sAGD [0-9.]* %' "$work/fom.vesk" | sed 's/.*sAGD \([0-9.]*\) %.*/\1/')
        awk -v a="$start" -v b="$end" -v f="$fixed" -v h="$done_" -v s="$sagd" \
            'BEGIN {printf "%.3f %s %s %s\n", b - a, f, h, s}' >>"$work/c$n"
        rm -f "$work/fom.vesk" "$work/fom.vesk.sigma"
    done
done
n=0
for cmd in "$@"; do
    n=$((n + 1))
    median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
    wall=$(awk '{print $1}' "$work/c$n" | median)
    fixed=$(awk '{print $2}' "$work/c$n" | median)
    hist=$(awk '{print $3}' "$work/c$n" | median)
    sagd=$(awk '{s += $4 * $4} END {printf "%.4g", sqrt(s / NR)}' "$work/c$n")
    rate=$(awk -v h="$hist" -v w="$wall" 'BEGIN {printf "%.3g", h / w}')
    t01=$(awk -v w="$wall" -v f="$fixed" -v s="$sagd" 'BEGIN {printf "%.3f", f + (w - f) * (s / 0.1) ^ 2}')
    printf "%s\n    median of %d: wall %s s, fixed %s s, %s histories (%s /s whole process), sAGD 1 sigma %s %%, time to 0.1 %% %s s\n" \
        "$cmd" "$rounds" "$wall" "$fixed" "$hist" "$rate" "$sagd" "$t01"
    printf "    wall times: %s\n" "$(awk '{printf "%s ", $1}' "$work/c$n")"
done
