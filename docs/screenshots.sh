#!/usr/bin/env bash
# Makes the user manual's pictures from the programs' own screens on a
# virtual 1280 x 1024 display: a session drives phantom, spectrum and set-up,
# the real engine runs on what they wrote, and the result screens show its
# file. Re-run it whenever a screen changes; it replaces docs/images/*.png.
#
#   docs/screenshots.sh [BUILD_DIR]        (default build/release; needs Xvfb and ImageMagick)
#
# It needs kv-screens_en, kv-screens_ja, halvex and the run folder's data:
#   cmake --build --preset release --target kv-screens_en kv-screens_ja halvex kv_run_data
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../build/release}" && pwd)"
out="$here/images"
work="$(mktemp -d)"
display=":$((90 + RANDOM % 100))"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
mkdir -p "$out" "$work/raw"
for need in tools/kv-screens_en tools/kv-screens_ja run/halvex run/MUs12.dat; do
  [ -e "$build/$need" ] || { echo "$build/$need is missing: build it first (see the top of $0)" >&2; exit 1; }
done

for ed in en ja; do
  run="$work/run-$ed"
  mkdir -p "$run"
  # The run folder's data files, as a fresh installation has them.
  find "$build/run" -maxdepth 1 -type f \( -name '*.dat' -o -name '*.DAT' \) -exec cp {} "$run" \;
  DISPLAY="$display" "$build/tools/kv-screens_$ed" "$run" "$work/raw" setup
  # The engine on what the screens wrote, without a window: a real result file.
  (cd "$run" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM nice -n 10 "$build/run/halvex" >/dev/null)
  DISPLAY="$display" "$build/tools/kv-screens_$ed" "$run" "$work/raw" results
done

# Small files: an 8-bit palette is plenty for these screens.
for f in "$work"/raw/*.png; do
  convert "$f" -strip -dither None -colors 256 "PNG8:$out/$(basename "$f")"
done
ls -l "$out"
