#!/usr/bin/env bash
# One beam's t-factor table the way kv-sweep --factors makes it: the protocol
# breast (50 %, Mo/Mo 28 kV) at 2, 3, 4.5, 6, 8 and 11 cm, single
# projections at 0 to 30 deg in 5 deg steps, 42 rows without maps; prints the
# wall and CPU time of the whole sweep and the largest t sigma it reached.
#   engine/bench/tomo_factors.sh [RUN_FOLDER] [HISTORIES_PER_ROW] [THREADS]
set -euo pipefail
run=${1:-build/release/run}
histories=${2:-6e5}
threads=${3:-2}
run=$(cd "$run" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
{
    echo "thickness_cm,glandular_percent,target,kv,method,model,projection_angle,histories,seed"
    seed=100
    for t in 2 3 4.5 6 8 11; do
        for a in 0 5 10 15 20 25 30; do
            seed=$((seed + 1))
            echo "$t,50,Mo,28,tomosynthesis,protocol,$a,$histories,$seed"
        done
    done
} > "$work/grid.csv"
/usr/bin/time -f "42 rows: %e s wall, %U s user" "$run"/kv-sweep "$work/grid.csv" --out "$work/out" \
    --data "$run" --threads "$threads" --factors > "$work/log" 2> "$work/time" || { cat "$work/log" "$work/time"; exit 1; }
tail -1 "$work/time"
awk -F, 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == "t_sigma_percent") c = i }
         NR > 1 && $c != "" && $c + 0 > m { m = $c + 0 }
         END { printf "largest t sigma: %.3f %%\n", m }' "$work/out/factors.csv"
