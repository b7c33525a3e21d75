#!/usr/bin/env bash
# The Debian packages of this build, checked as a user would meet them: made
# by cpack, lintian reports no error, unpacked into a scratch root (not
# installed) where every program states the build's version, a desktop
# program without a display says so, and halvex runs a short case in a
# working folder that holds none of the shipped data, whose result and
# kv-report name the version. Nothing is written inside the unpacked tree.
#
# usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kv-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
for tool in cpack lintian dpkg-deb file readelf; do
  command -v "$tool" >/dev/null || fail "$tool is missing (./setup.sh test installs it)"
done
version=$(head -n 1 "$build/generated/version.txt")
arch=$(dpkg --print-architecture)
noDisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack could not make the packages"; }
main="$scratch/out/kelvane-vesk_${version}-1_${arch}.deb"
[ -f "$main" ] || fail "no $(basename "$main") among: $(ls "$scratch/out")"
debs=("$scratch"/out/*.deb)

lintian "${debs[@]}" >"$scratch/lintian.txt" 2>&1 || true
if grep -q '^E:' "$scratch/lintian.txt"; then
  grep '^E:' "$scratch/lintian.txt" >&2
  fail "lintian reports errors"
fi

depends=$(dpkg-deb -f "$main" Depends)
for needed in fonts-liberation2 fonts-noto-cjk qt6-translations-l10n qt6-qpa-plugins libqt6widgets6 libxrl libdcmtk libssl3; do
  [[ "$depends" == *"$needed"* ]] || fail "kelvane-vesk does not depend on $needed: $depends"
done
[[ "$depends" != *mpi* ]] || fail "kelvane-vesk depends on MPI: $depends"
mpi="$scratch/out/kelvane-vesk-mpi_${version}-1_${arch}.deb"
if [ -f "$mpi" ]; then
  mpiDepends=$(dpkg-deb -f "$mpi" Depends)
  for needed in "kelvane-vesk (= ${version}-1)" libopenmpi openmpi-bin; do
    [[ "$mpiDepends" == *"$needed"* ]] || fail "kelvane-vesk-mpi does not depend on $needed: $mpiDepends"
  done
fi

root="$scratch/root"
for d in "${debs[@]}"; do dpkg-deb -x "$d" "$root"; done
# What the tree holds before any program ran: compared at the end.
listing() { (cd "$root" && find . -printf '%p %s %T@\n' | sort); }
listing >"$scratch/before.txt"
bin="$root/usr/bin"
programs=(Kelvane-Vesk dorvel_en dorvel_ja lumira_en lumira_ja halvex tiravex kv-report_en kv-report_ja kv-sweep
          kv-spectrum kv-audit kv-case)
for p in "${programs[@]}"; do [ -x "$bin/$p" ] || fail "$p is not in usr/bin"; done
for p in "$bin"/*; do
  name=$(basename "$p")
  out=$("${noDisplay[@]}" "$p" --version) || fail "$name --version failed"
  [ "$out" = "$name (Kelvane-Vesk) $version" ] || fail "$name --version says \"$out\""
  "${noDisplay[@]}" "$p" --help >/dev/null || fail "$name --help failed"
  file -L "$p" | grep ', stripped' >/dev/null || fail "$name is not stripped"
  [ -f "$root/usr/share/man/man1/$name.1.gz" ] || fail "$name has no man page"
  description=$(dpkg-deb -f "$main" Description)
  [[ "$name" == *-mpi || "$description" == *"${name%_[ej][na]}"* ]] || fail "the description does not name $name"
  if readelf -d "$p" | grep -E 'RPATH|RUNPATH' >/dev/null; then fail "$name carries an RPATH"; fi
done
for p in Kelvane-Vesk dorvel_en dorvel_ja lumira_en lumira_ja; do
  set +e
  "${noDisplay[@]}" "$bin/$p" >"$scratch/out.txt" 2>"$scratch/err.txt"
  rc=$?
  set -e
  [ "$rc" -eq 1 ] || fail "$p without a display ended with $rc"
  # One line naming the program, in its edition's language.
  [ "$(wc -l <"$scratch/err.txt")" -eq 1 ] && grep -q "^$p " "$scratch/err.txt" ||
    fail "$p without a display said: $(cat "$scratch/err.txt")"
  if [[ "$p" != *_ja ]]; then
    grep -q "^$p is a desktop program and needs a display" "$scratch/err.txt" ||
      fail "$p without a display said: $(cat "$scratch/err.txt")"
  fi
done

share="$root/usr/share/kelvane-vesk"
for f in MUs12.dat Mo-STP.dat equipment.dat BR12-10.dat BR12-90.dat; do [ -f "$share/$f" ] || fail "no $f in $share"; done
[ -f "$root/usr/share/applications/kelvane-vesk.desktop" ] || fail "no desktop entry"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/kelvane-vesk.svg" ] || fail "no icon"
for doc in "$root"/usr/share/doc/*/; do
  [ -f "$doc/copyright" ] && [ -f "$doc/changelog.Debian.gz" ] || fail "$doc lacks copyright or changelog.Debian.gz"
done
doc="$root/usr/share/doc/kelvane-vesk"
for f in README.md docs/manual.md docs/manual.ja.md docs/validation.md docs/audit.md docs/images/results-en.png \
         examples/quick_start.sh examples/protocol_sweep.sh; do
  [ -f "$doc/$f" ] || fail "no $f in $doc"
done
# README's links into docs/ hold in the installed tree too.
for link in $(grep -oE '\]\(docs/[^)#]+' "$doc/README.md" | sed 's/^](//' | sort -u); do
  [ -f "$doc/$link" ] || fail "README.md links to $link, which the package lacks"
done
for image in $(grep -oE '\(images/[^)]+\)' "$doc/docs/manual.md" "$doc/docs/manual.ja.md" | sed 's/.*(//; s/)$//' | sort -u); do
  [ -f "$doc/docs/$image" ] || fail "the manual shows $image, which the package lacks"
done
[ -f "$root/usr/share/mime/packages/kelvane-vesk.xml" ] || fail "no MIME type for .vesk"
grep -q '^MimeType=application/x-kelvane-vesk-result;' "$root/usr/share/applications/kelvane-vesk.desktop" ||
  fail "the desktop entry opens no result file"
zcat "$root/usr/share/doc/kelvane-vesk/changelog.Debian.gz" | grep -F "kelvane-vesk (${version}-1)" >/dev/null ||
  fail "the Debian changelog does not name ${version}-1"

# A working folder as the launcher leaves it: only equipment.dat. The
# spectrum and the composition come from the shipped data beside the programs.
work="$scratch/work"
mkdir "$work"
cp "$share/equipment.dat" "$work/"
cd "$work"
"$bin/kv-spectrum" --kv 28 --out P_SPCTL.dat >"$scratch/spectrum.txt" 2>&1 ||
  { cat "$scratch/spectrum.txt"; fail "kv-spectrum"; }
printf '50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n2.0\r\n' >Phantom.dat
printf '15.0\r\n15.0\r\n065.0\r\n060.0\r\n060.0\r\n000.0\r\n2.0E+04\r\npackage.vesk\r\nPackage test\r\n' >MC.dat
"${noDisplay[@]}" "$bin/halvex" --seed 7 --threads 1 >"$scratch/halvex.txt" 2>&1 ||
  { cat "$scratch/halvex.txt"; fail "halvex"; }
[ -f package.vesk ] || fail "halvex wrote no package.vesk"
for f in BR12-50.dat MUs12.dat Mo-STP.dat; do [ ! -e "$f" ] || fail "$f was copied into the working folder"; done
# The version that made the result: in the file's trailer and in kv-report's output.
tr -d '\r' <package.vesk | grep -xF "engine_version = $version" >/dev/null || fail "package.vesk does not name $version"
"$bin/kv-report_en" --json package.vesk >"$scratch/report.json" || fail "kv-report_en could not read the result"
grep -qF "\"engine_version\": \"$version\"," "$scratch/report.json" ||
  fail "kv-report_en --json does not name $version: $(head -c 400 "$scratch/report.json")"
# The README's quick start, as the installed example runs it, in a new folder.
(cd "$scratch" && "${noDisplay[@]}" PATH="$bin:$PATH" sh "$doc/examples/quick_start.sh" quick >"$scratch/quick.txt" 2>&1) ||
  { cat "$scratch/quick.txt"; fail "the installed quick start"; }
grep -qE '^AGD for Ka = 6.0 mGy at the FCD: [0-9.]+ mGy$' "$scratch/quick.txt" ||
  fail "the installed quick start gave no AGD: $(tail -n 3 "$scratch/quick.txt")"
listing >"$scratch/after.txt"
cmp -s "$scratch/before.txt" "$scratch/after.txt" ||
  fail "the programs wrote inside the unpacked tree: $(diff "$scratch/before.txt" "$scratch/after.txt" | head -n 5)"
echo "packages: $(cd "$scratch/out" && ls *.deb | tr '\n' ' ')"
echo "PASS"
