#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The version lives in CMake's project(VERSION ...); the newest entry of NEWS
# and of debian/changelog must name the same one.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake=$(sed -n 's/^project(brindle VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
news=$(grep -m1 -E '^[0-9]+\.[0-9]+\.[0-9]+' NEWS | cut -d' ' -f1)
changelog=$(sed -n '1s/^brindle (\([^)]*\)).*/\1/p' debian/changelog)
status=0
for pair in "NEWS:$news" "debian/changelog:$changelog"; do
  if [ "${pair#*:}" != "$cmake" ]; then
    echo "check-version: ${pair%%:*} names ${pair#*:}, CMakeLists.txt's project() $cmake" >&2
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "version $cmake in CMakeLists.txt, NEWS and debian/changelog"
exit "$status"
