#!/usr/bin/env bash
# Wall time of one engine run in one process and shared by mpirun over two,
# one thread each, with the same seed (so the same histories and the same
# dose); prints the medians and the parallel efficiency T1 / (2 T2).
#   engine/bench/rank_scaling.sh [RUN_FOLDER] [HISTORIES] [REPEATS]
set -euo pipefail
run=${1:-build/release/run}
histories=${2:-8.0E+06}
repeats=${3:-5}
run=$(cd "$run" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$run"/BR12-50.dat "$run"/equipment.dat "$work"/
"$run"/kv-spectrum --kv 28 --data "$run" --out "$work"/P_SPCTL.dat > /dev/null
printf '50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n5.0\r\n' > "$work"/Phantom.dat
printf '15.0\r\n15.0\r\n065.0\r\n060.0\r\n060.0\r\n000.0\r\n%s\r\nbench.vesk\r\nBench\r\n' "$histories" > "$work"/MC.dat
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

timed() { # prints the seconds of one run of "$@" in the work folder
    local t0 t1
    t0=$(date +%s.%N)
    (cd "$work" && "$@" > /dev/null)
    t1=$(date +%s.%N)
    awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.3f\n", b - a}' 
}
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

one=() two=()
for _ in $(seq "$repeats"); do
    one+=("$(timed "$run"/halvex --seed 1 --threads 1)")
    two+=("$(timed mpirun --oversubscribe -np 2 "$run"/halvex --seed 1 --threads 1)")
done
t1=$(printf '%s\n' "${one[@]}" | median)
t2=$(printf '%s\n' "${two[@]}" | median)
printf 'histories %s, %s repeats\n' "$histories" "$repeats"
printf '1 process : median %.2f s  (%s)\n' "$t1" "${one[*]}"
printf '2 processes: median %.2f s  (%s)\n' "$t2" "${two[*]}"
awk -v a="$t1" -v b="$t2" 'BEGIN {printf "speed-up %.2f, efficiency %.0f %%\n", a / b, 100 * a / (2 * b)}' 
