#!/bin/bash
# Engines side by side on the workbench case (Mo/Mo 28 kV, 5 cm, 50 %, FID 65,
# FCD 60), one table for all of them:
#   engines_side_by_side.sh BUILD_DIR HISTORIES ROUNDS "NAME=HALVEX [OPTIONS]"...
# e.g. engines_side_by_side.sh build/release 2.0E+06 3 "old=/old/halvex" \
#          "new=$PWD/build/release/run/halvex --no-maps"
# Per engine: the medians of halvex_target.sh (whole processes turn about,
# ROUNDS rounds of HISTORIES histories: the stated sAGD sigma and the time to
# sAGD 1 sigma = 0.1 %) and the instruction counts of halvex_instructions.sh
# (callgrind, one thread, 1E+05 and 3E+05 histories: per history and the fixed
# cost of a run), which the machine's load does not change. The load average
# before and after the timed runs is printed with them: on a shared machine the
# times are only as good as it.
set -euo pipefail
if [ $# -lt 4 ]; then
    echo "usage: $0 BUILD_DIR HISTORIES ROUNDS \"NAME=HALVEX [OPTIONS]\"..." >&2
    exit 2
fi
build=$1 histories=$2 rounds=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
names=() cmds=()
for spec in "$@"; do
    case $spec in
    *=*) names+=("${spec%%=*}") cmds+=("${spec#*=}") ;;
    *) echo "$0: \"$spec\" is not NAME=HALVEX [OPTIONS]" >&2 && exit 2 ;;
    esac
done
load() { cut -d' ' -f1-3 /proc/loadavg; }
before=$(load)
timed=$("$here/halvex_target.sh" "$build" "$histories" "$rounds" "${cmds[@]}")
after=$(load)
counted=$("$here/halvex_instructions.sh" "$build" 1E+05 3E+05 "${cmds[@]}")
# The line after each command's own line holds its figures.
figures() { # output, command
    awk -v c="$2" 'found { print; exit } $0 == c { found = 1 }' <<<"$1"
}
printf "Workbench case, %s histories, %s rounds turn about; load average %s before, %s after\n\n" \
    "$histories" "$rounds" "$before" "$after"
printf "| engine | stated sAGD 1 sigma | time to 0.1 %% (median) | wall (median) | instructions per history | fixed cost |\n"
printf "|---|---|---|---|---|---|\n"
for i in "${!cmds[@]}"; do
    t=$(figures "$timed" "${cmds[$i]}")
    c=$(figures "$counted" "${cmds[$i]}")
    sigma=$(sed -n 's/.*sAGD 1 sigma \([0-9.]*\) %.*/\1/p' <<<"$t" | awk '{printf "%.3g", $1}')
    t01=$(sed -n 's/.*time to 0.1 % \([0-9.]*\) s.*/\1/p' <<<"$t")
    wall=$(sed -n 's/.*wall \([0-9.]*\) s.*/\1/p' <<<"$t")
    per=$(sed -n 's/.*: \([0-9]*\) per history.*/\1/p' <<<"$c")
    fixed=$(sed -n 's/.*fixed cost \([0-9.e+]*\).*/\1/p' <<<"$c")
    printf "| %s | %s %% | %s s | %s s | %s | %s |\n" "${names[$i]}" "$sigma" "$t01" "$wall" "$per" "$fixed"
done
printf "\n%s\n%s\n" "$timed" "$counted"
