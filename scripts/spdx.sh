#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence's SPDX line at the top of every source file that lacks it
# (after a "#!" line). With --check it changes nothing, names each file that
# lacks the line and fails when there is one (a test runs it so).
# Sources: C++ (.cpp, .h), shell scripts (.sh, .ci/run), CMakeLists.txt and
# debian/rules; the files of a git checkout, or of the tree without build folders.
# Usage: scripts/spdx.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
spdx="SPDX-License-Identifier: GPL-3.0-or-later"
check=false
case "${1:-}" in
  "") ;;
  --check) check=true ;;
  *) echo "usage: scripts/spdx.sh [--check]" >&2; exit 2 ;;
esac

sources() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files --cached --others --exclude-standard
  else
    find . -path './build*' -prune -o -path ./out -prune -o -path ./debian/brindle -prune -o \
      -path ./debian/.debhelper -prune -o -type f -print | sed 's|^\./||'
  fi | grep -E '\.(cpp|h|sh)$|(^|/)CMakeLists\.txt$|^\.ci/run$|^debian/rules$' | sort
}

missing=0
while IFS= read -r file; do
  [ -f "$file" ] || continue  # deleted in the worktree, not yet committed
  head -n 3 "$file" | grep -q "SPDX-License-Identifier:" && continue
  missing=$((missing + 1))
  if $check; then
    echo "spdx: $file has no SPDX-License-Identifier line" >&2
    continue
  fi
  case "$file" in
    *.cpp | *.h) comment="// $spdx" ;;
    *) comment="# $spdx" ;;
  esac
  if [ ! -s "$file" ]; then
    printf '%s\n' "$comment" >"$file"
  elif head -n 1 "$file" | grep -q '^#!'; then
    sed -i "1a $comment" "$file"
  else
    sed -i "1i $comment" "$file"
  fi
  echo "spdx: $file"
done < <(sources)

if $check && [ "$missing" -gt 0 ]; then
  echo "spdx: $missing source files lack the line; scripts/spdx.sh adds it" >&2
  exit 1
fi
