#!/usr/bin/env bash
# The commands the docs quote, run as quoted in one new folder with the run
# folder's programs on PATH and no display: README's quick start, its kv-report
# line and kv-sweep block, and the manual's kv-report block (and the Japanese
# manual's). `cd build/release/run` stays in the new folder and
# `./prog` is taken from PATH; mpirun gets --oversubscribe and, as root, the
# leave OpenMPI asks for. A block that is no longer found fails, so a doc that
# loses its commands is noticed. The benchmarks, the validations of minutes and
# the Slurm and /data examples are not run here.
#
# usage: commands_test.sh SOURCE_DIR RUN_DIR
set -euo pipefail
src=$1 run=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kv-docs.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The indented lines of the first code block after the first line matching $2 in $1.
block() {
  awk -v start="$2" '
    !found && $0 ~ start { found = 1; next }
    found && /^    / { sub(/^    /, ""); print; inside = 1; next }
    found && inside && !/^    / { exit }' "$1"
}

# A quoted command as it runs here; a build without OpenMPI has no -mpi programs to run.
mpi=1
[ -x "$run/kv-sweep-mpi" ] || { mpi=0; echo "No OpenMPI programs in $run: mpirun lines are left out."; }
adapt() {
  if [ "$mpi" -eq 0 ]; then grep -v '^mpirun '; else cat; fi | sed -e 's#^cd build/release/run && ##' -e 's#^cd build/release/run$#:#' -e 's#\./\(kv-\|halvex\|tiravex\)#\1#g' \
      -e 's#^mpirun #mpirun --oversubscribe --allow-run-as-root #'
}

run_block() {
  local name=$1 file=$2 start=$3
  local text
  text=$(block "$src/$file" "$start")
  [ -n "$text" ] || { echo "FAIL: $file has no command block after \"$start\"" >&2; exit 1; }
  echo "== $name ($file)"
  echo "$text" | adapt | sed 's/^/$ /'
  (cd "$scratch/work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PATH="$run:$PATH" \
     OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 bash -euo pipefail -c "$(echo "$text" | adapt)") \
    >"$scratch/$name.txt" 2>&1 || { cat "$scratch/$name.txt"; echo "FAIL: $name" >&2; exit 1; }
  cat "$scratch/$name.txt"
}

mkdir "$scratch/work"
# The quick start makes its own folder; the commands after it work beside it.
run_block quick_start README.md '^## Quick start'
grep -qE '^"first.vesk",sagd,0\.[0-9]+,mGy/mGy,k_fcd,' "$scratch/quick_start.txt" ||
  { echo "FAIL: the quick start printed no sAGD" >&2; exit 1; }
cp "$scratch/work/first/first.vesk" "$scratch/work/run1.vesk"
cp "$scratch/work/first/first.vesk" "$scratch/work/run2.vesk"
run_block report README.md '^Many result files at once'
run_block manual_report docs/manual.md '^## 6\. Many files: kv-report'
grep -q '^quantity,layer,a,b,ratio,difference_sigma' "$scratch/manual_report.txt" ||
  { echo "FAIL: the manual's --compare printed no comparison" >&2; exit 1; }
run_block manual_report_ja docs/manual.ja.md '^## 6\. '
run_block sweep README.md '^`kv-sweep GRID.csv --out DIR` runs one simulation'
grep -q 'Wrote sweep1/table.csv (2 rows)' "$scratch/sweep.txt" || { echo "FAIL: the sweep wrote no table" >&2; exit 1; }
echo PASS
