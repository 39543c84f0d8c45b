#!/usr/bin/env bash
# Installs the Debian packages dmmbench needs. Only missing packages are installed, so a
# second run costs nothing.
#   scripts/install-deps.sh run    what building and running the programs needs
#   scripts/install-deps.sh test   that, plus the test, fuzz and benchmark tools (default)
# As root it installs directly; otherwise through sudo. Without sudo it lists the
# packages and the command to run, and fails.
set -euo pipefail

what=${1:-test}

run_packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-qpa-plugins libgl-dev
  libqcustomplot-dev libqcustomplot2.1-qt6
  libusb-1.0-0-dev libhidapi-dev
  libxlsxwriter-dev
  libfftw3-dev
  libcli11-dev
  pybind11-dev python3-dev python3-numpy
  fonts-noto-cjk fonts-dejavu-core
)
test_packages=(
  libumockdev-dev umockdev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth
  unzip
  lintian
  python3-pytest
)

case "$what" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if ! { command -v sudo >/dev/null 2>&1 && { sudo -n true 2>/dev/null || sudo -v; }; }; then
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "Install them as root, then run make again:" >&2
    echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
