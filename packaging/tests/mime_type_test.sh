#!/usr/bin/env bash
# The result files' type: shared-mime-info builds a database from it in
# which a .vesk file is that type, and the desktop entry opens that type.
#
# usage: mime_type_test.sh PACKAGING_DIR
set -euo pipefail
src=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kv-mime.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
type=application/x-kelvane-vesk-result
mkdir -p "$scratch/mime/packages"
cp "$src/kelvane-vesk.xml" "$scratch/mime/packages/"
out=$(XDG_DATA_DIRS="$scratch" update-mime-database "$scratch/mime" 2>&1)
[ -z "$out" ] || { echo "FAIL: update-mime-database says: $out" >&2; exit 1; }
grep -qx "$type:\*\.vesk" "$scratch/mime/globs" || { echo "FAIL: *.vesk is not $type: $(cat "$scratch/mime/globs")" >&2; exit 1; }
grep -qx "MimeType=$type;" "$src/kelvane-vesk.desktop" || { echo "FAIL: the desktop entry does not open $type" >&2; exit 1; }
grep -qE '^Exec=Kelvane-Vesk %f$' "$src/kelvane-vesk.desktop" || { echo "FAIL: the desktop entry passes no file" >&2; exit 1; }
echo PASS
