#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the command line (and the window, where Qt 6 was found) and converts
# the bundled sample drawing into out/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(brindle brindle-samples)
# The README's window example runs build/brindle-gui right after this script.
if ninja -C build -t targets all | grep -q '^brindle-gui:'; then targets+=(brindle-gui); fi
ninja -C build "${targets[@]}"
mkdir -p out
./build/brindle convert -o out "${1:-samples/plan.jww}"
