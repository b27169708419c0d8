#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the command line and converts the bundled sample drawing into out/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build brindle brindle-samples
mkdir -p out
./build/brindle convert -o out "${1:-samples/plan.jww}"
