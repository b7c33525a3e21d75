#!/bin/sh
# Runs one fuzz target of the fuzz preset for a given time on a working copy
# of its seed corpus; a finding is left as crash-*/timeout-* in build/fuzz/findings.
#   cmake --preset fuzz && cmake --build --preset fuzz
#   nice -n 15 fuzz/run.sh result_file 600
set -eu
target=$1
seconds=${2:-600}
root=$(cd "$(dirname "$0")/.." && pwd)
work="$root/build/fuzz/work/$target"
findings="$root/build/fuzz/findings"
mkdir -p "$work" "$findings"
exec "$root/build/fuzz/fuzz/fuzz_$target" "$work" "$root/fuzz/corpus/$target" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/$target-"
