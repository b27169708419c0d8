#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the real brindle-gui under Xvfb, as a user would with a drawing on
# the command line, and waits until the converted drawing is on the desktop.
# Usage: scripts/gui-smoke.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build}")/brindle-gui
if [ -z "${BRINDLE_SMOKE_X:-}" ]; then
  # The window and this script share one X server that ends with them.
  BRINDLE_SMOKE_X=1 exec xvfb-run -a "$0" "$@"
fi
work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME/Desktop"
cp samples/plan.jww "$work/plan.jww"
"$bin" --settings "$work/brindle.dat" "$work/plan.jww" &
pid=$!
for _ in $(seq 1 600); do
  if [ -s "$HOME/Desktop/plan.jww" ] && [ -s "$work/brindle.dat" ]; then
    echo "brindle-gui converted plan.jww onto the desktop"
    exit 0
  fi
  kill -0 "$pid" 2>/dev/null || { echo "brindle-gui ended early" >&2; exit 1; }
  sleep 0.1
done
echo "brindle-gui did not convert the drawing within a minute" >&2
exit 1
