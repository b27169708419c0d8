#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs every Debian package Brindle needs to build, test, benchmark and fuzz.
set -euo pipefail
packages=(
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev clang-format
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
  gettext
  fonts-ipafont-gothic
  qt6-svg-dev
  qt6-translations-l10n
  fonts-ipafont-mincho
  poppler-utils
  librsvg2-bin
  dpkg-dev debhelper lintian desktop-file-utils appstream libxml2-utils shared-mime-info
  xdg-utils libfile-mimeinfo-perl libglib2.0-bin x11-utils scrot
  python3-ezdxf
  python3-matplotlib
  librecad
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
# The Japanese messages are tested under ja_JP.UTF-8.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 || echo "install-deps: ja_JP.UTF-8 could not be generated" >&2
fi
