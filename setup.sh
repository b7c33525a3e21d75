#!/usr/bin/env bash
# Installs what is missing, builds, and then starts the launcher in the run
# folder (./setup.sh run), runs every test (./setup.sh test) or makes the
# Debian packages in build/release/packages (./setup.sh package).
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-}
case "$mode" in
  run|test|package) ;;
  *) echo "usage: $0 run|test|package" >&2; exit 2 ;;
esac

packages=(
  cmake make g++ pkg-config
  libopenmpi-dev openmpi-bin
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
  libxrl-dev libgtest-dev libgmock-dev libbenchmark-dev
  libdcmtk-dev libssl-dev
  fonts-liberation2 fonts-noto-cjk qt6-translations-l10n
  clang-format git ccache
  dpkg-dev lintian desktop-file-utils file python3-jsonschema python3-yaml help2man shared-mime-info
  xvfb imagemagick
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ "$mode" = test ]; then
  # One layout for the whole tree: a file off .clang-format fails the tests.
  echo "Checking the C++ layout (clang-format)"
  git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
fi

# The configurations share what they compile through ccache: paths below
# this folder are hashed relative to it.
export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER-ccache}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"

cmake --preset release >/dev/null
cmake --build --preset release

case "$mode" in
  run)
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "No display: Kelvane-Vesk is a desktop program and needs a window system (set DISPLAY)." >&2
      exit 1
    fi
    cd build/release/run
    [ -x ./Kelvane-Vesk ] || { echo "The launcher was not built." >&2; exit 1; }
    exec ./Kelvane-Vesk
    ;;
  test)
    # Every stage runs even when one before it failed, so that one run shows
    # every failure; the stage's time goes in the log.
    failed=()
    stage() {
      local name=$1 start=$SECONDS
      shift
      echo "== $name"
      "$@" || failed+=("$name")
      echo "== $name: $((SECONDS - start)) s"
    }
    stage "release tests" ctest --preset release
    # The model, the file readers and the fuzz seeds under AddressSanitizer
    # and UBSan, at -O1: the engine's physics tests would take too long there.
    stage "sanitizer" sh -c 'cmake --preset sanitize >/dev/null && cmake --build --preset sanitize &&
                             ctest --preset sanitize'
    # As a machine without OpenMPI configures it: the engines, kv-sweep and
    # the tests that run them.
    stage "no MPI" sh -c 'cmake --preset nompi >/dev/null && cmake --build --preset nompi && ctest --preset nompi'
    if [ ${#failed[@]} -gt 0 ]; then
      printf 'Failed: %s\n' "${failed[@]}" >&2
      exit 1
    fi
    ;;
  package)
    rm -rf build/release/packages
    (cd build/release && cpack)
    report=$(lintian build/release/packages/*.deb 2>&1 || true)
    [ -z "$report" ] || echo "$report"
    if grep -q '^E:' <<<"$report"; then
      echo "lintian reports errors" >&2
      exit 1
    fi
    ls -l build/release/packages/*.deb
    ;;
esac
