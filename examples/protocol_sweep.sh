#!/bin/sh
# A small table of conversion factors on the protocols' breast: three
# simulations (Mo/Mo 28 kV; 2 and 4.5 cm at 50 % glandular, 4.5 cm at 20 %)
# and their g and c beside the published method. About 10 s on two cores.
#
#   sh protocol_sweep.sh [FOLDER]     (default: sweep1; made, and must be empty)
#
# The programs come from PATH, as in quick_start.sh. factors.csv's g is the
# whole breast's mean glandular dose per incident air kerma at the upper
# surface of the breast (mGy/mGy). For 4.5 cm at this beam's HVL with the
# paddle, 0.313 mm Al, the published g (Dance 1990 and Dance et al. 2000, as
# transcribed in tools/validation/reference/dance2000-g-factors.csv) is 0.1897,
# read linearly between 0.183 at 0.30 and 0.208 at 0.35 mm Al; see
# docs/validation.md for the whole comparison.
set -eu
dir=${1:-sweep1}
mkdir -p "$dir" && cd "$dir"
[ -z "$(ls -A)" ] || { echo "protocol_sweep.sh: $dir is not empty" >&2; exit 1; }

cat >grid.csv <<'GRID'
thickness_cm,glandular_percent,target,kv,model,sagd_sigma_percent
2,50,Mo,28,protocol,1
4.5,50,Mo,28,protocol,1
4.5,20,Mo,28,protocol,1
GRID
kv-sweep grid.csv --out table --factors
cat table/factors.csv
