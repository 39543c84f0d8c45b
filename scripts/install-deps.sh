#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing dmmbench need.
# Only packages that are missing are installed, so a second run costs nothing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-qpa-plugins libgl-dev
  libqcustomplot-dev libqcustomplot2.1-qt6
  libusb-1.0-0-dev libhidapi-dev
  libxlsxwriter-dev
  libfftw3-dev
  libumockdev-dev umockdev
  libcli11-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth
  fonts-noto-cjk fonts-dejavu-core
  unzip
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
