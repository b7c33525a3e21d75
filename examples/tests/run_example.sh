#!/bin/sh
# Runs one example in a new scratch folder with the programs of BIN first on
# PATH and without a display (the engines then report on the console), and
# checks that it ends well and prints what it promises.
#
# usage: run_example.sh BIN EXAMPLE.sh PATTERN...   (each an extended regular expression)
set -eu
bin=$1 example=$2
shift 2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kv-example.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
if ! env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PATH="$bin:$PATH" sh "$example" run >out.txt 2>&1; then
  cat out.txt
  echo "FAIL: $(basename "$example") ended with an error" >&2
  exit 1
fi
cat out.txt
for pattern in "$@"; do
  grep -Eq "$pattern" out.txt || { echo "FAIL: $(basename "$example") printed nothing like: $pattern" >&2; exit 1; }
done
echo PASS
