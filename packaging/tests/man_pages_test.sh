#!/usr/bin/env bash
# Each program's man page is there and says what the program's --help says
# now: every option the help names, the program's name and its version.
#
# usage: man_pages_test.sh MAN_DIR RUN_DIR PROGRAM...
set -euo pipefail
man=$1 run=$2
shift 2
noDisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
failed=0
for p in "$@"; do
  page="$man/$p.1"
  if [ ! -f "$page" ] || [ ! -f "$page.gz" ]; then
    echo "FAIL: no man page $page (and .gz)" >&2
    failed=1
    continue
  fi
  # The page's text as man shows it, without roff's escapes and fonts.
  text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$page")
  grep -q "^$p - " <<<"$text" || { echo "FAIL: $page does not name $p in NAME" >&2; failed=1; }
  version=$("${noDisplay[@]}" "$run/$p" --version | awk '{print $NF}')
  grep -qF "\"Kelvane-Vesk $version\"" <<<"$text" || { echo "FAIL: $page is not of version $version" >&2; failed=1; }
  # The help's first line as it stands, in its edition's own script.
  first=$("${noDisplay[@]}" "$run/$p" --help | head -n 1 | sed 's/  */ /g')
  grep -qF -- "$first" <<<"$(sed 's/  */ /g' <<<"$text")" || { echo "FAIL: $page lacks \"$first\"" >&2; failed=1; }
  for option in $("${noDisplay[@]}" "$run/$p" --help | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u); do
    grep -qF -- "$option" <<<"$text" || { echo "FAIL: $page lacks $option of $p --help" >&2; failed=1; }
  done
  cmp -s <(gzip -dc "$page.gz") "$page" || { echo "FAIL: $page.gz is not $page" >&2; failed=1; }
done
[ "$failed" -eq 0 ] && echo "PASS: $# man pages"
exit "$failed"
