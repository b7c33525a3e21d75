#!/usr/bin/env bash
# Every program answers --help with its help and does nothing else: exit 0,
# something on the output, and the working folder as empty as before (one
# tool wrote 1337 files into a folder named --help).
#
# usage: help_never_acts_test.sh PROGRAM_FILE...
set -uo pipefail
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kv-help.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failed=0
for p in "$@"; do
  name=$(basename "$p")
  work="$scratch/$name"
  mkdir "$work"
  (cd "$work" && timeout 60 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$p" --help >"$scratch/$name.out" 2>&1)
  rc=$?
  left=$(cd "$work" && find . -mindepth 1 | head -n 3 | tr '\n' ' ')
  if [ "$rc" -ne 0 ]; then
    echo "FAIL: $name --help ended with $rc: $(head -c 200 "$scratch/$name.out")" >&2; failed=1
  elif [ ! -s "$scratch/$name.out" ]; then
    echo "FAIL: $name --help printed nothing" >&2; failed=1
  elif [ -n "$left" ]; then
    echo "FAIL: $name --help wrote $left" >&2; failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "PASS: $# programs"
exit "$failed"
