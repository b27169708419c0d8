#!/usr/bin/env bash
# Installs every Debian package Brindle needs to build, test, benchmark and fuzz.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev libicu-dev
  qt6-base-dev
  libcli11-dev
  nlohmann-json3-dev
  xvfb
  xauth
  hyperfine
  scdoc
  man-db
  bsdextrautils
  locales
  fonts-ipafont-gothic
  qt6-svg-dev
  fonts-ipafont-mincho
  poppler-utils
  librsvg2-bin
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
