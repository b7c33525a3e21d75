#!/bin/sh
# From an empty folder to an AGD with the command-line tools: the tube's
# spectrum, the run files the set-up screens write, one Monte Carlo run and
# its numbers. About 10 s on two cores.
#
#   sh quick_start.sh [FOLDER]     (default: first; made, and must be empty)
#
# The programs come from PATH: installed, they are there; with a build, put
# its run folder first (PATH="$PWD/build/release/run:$PATH").
set -eu
dir=${1:-first}
mkdir -p "$dir" && cd "$dir"
[ -z "$(ls -A)" ] || { echo "quick_start.sh: $dir is not empty" >&2; exit 1; }

kv-spectrum --target Mo --kv 28 --out P_SPCTL.dat
kv-case --name first --thickness 4.5 --glandular 50
halvex --sagd-sigma 1
kv-report_en --table fields first.vesk

# The AGD for an air kerma of 6.0 mGy measured free in air at the FCD without
# the paddle (the sAGD's own point): Ka x sAGD.
kv-report_en --table fields first.vesk |
  awk -F, '$2 == "sagd" { printf "AGD for Ka = 6.0 mGy at the FCD: %.3f mGy\n", 6.0 * $3 }'
