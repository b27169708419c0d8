#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renews the window's pictures in docs/images/ from the real window under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
ninja -C "$build" test_gui
# The preview window's pictures need the real drawings of BRINDLE_CORPUS.
BRINDLE_SOURCE_DIR=$PWD BRINDLE_SCREENSHOTS=$PWD/docs/images \
  xvfb-run -a -s "-screen 0 1024x768x24" "$build"/test_gui -platform xcb screenshots \
  previewWindowOnARealDrawing
