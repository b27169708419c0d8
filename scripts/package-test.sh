#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a brindle .deb into a scratch root (dpkg-deb -x: no root rights
# needed, nothing of the machine touched), does what dpkg's triggers would do
# (the MIME and desktop databases), and uses it as a user would:
#   brindle --version, man -w brindle, xdg-mime on a real drawing (by its name
#   and by its contents), brindle-gui started from the installed desktop entry
#   by gio launch under Xvfb converting the drawing (a screenshot is kept), and
#   settings and image folders in the XDG folders with nothing written into
#   the installed tree.
# The drawing is the first of $BRINDLE_CORPUS/*.jww (samples/plan.jww when the
# variable is unset). The screenshot goes to $BRINDLE_PACKAGE_SHOT when set.
# Usage: scripts/package-test.sh PACKAGE.deb
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 1 ] && [ -f "$1" ] || { echo "usage: scripts/package-test.sh PACKAGE.deb" >&2; exit 2; }
if [ -z "${BRINDLE_PACKAGE_X:-}" ]; then
  # The window and this script share one X server that ends with them.
  BRINDLE_PACKAGE_X=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
deb=$(realpath "$1")
work=$(mktemp -d)
root=$work/root
gui=""
cleanup() {
  [ -n "$gui" ] && kill "$gui" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package-test: $*" >&2; exit 1; }

export PATH="$root/usr/bin:$PATH" XDG_DATA_DIRS="$root/usr/share:/usr/share"
dpkg-deb -x "$deb" "$root"
update-mime-database "$root/usr/share/mime"
update-desktop-database "$root/usr/share/applications"
find "$root" | sort >"$work/tree-before"

export MANPATH="$root/usr/share/man" HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" TMPDIR="$work/tmp"
export LANG=C.UTF-8 XDG_RUNTIME_DIR="$work/runtime"
unset LC_ALL LC_MESSAGES LANGUAGE XDG_CURRENT_DESKTOP
mkdir -p "$HOME/Desktop" "$TMPDIR" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

if [ -n "${BRINDLE_CORPUS:-}" ]; then
  drawings=("$BRINDLE_CORPUS"/*.jww)
  source=${drawings[0]}
  [ -f "$source" ] || fail "no drawing in BRINDLE_CORPUS=$BRINDLE_CORPUS"
else
  echo "package-test: BRINDLE_CORPUS is unset: samples/plan.jww stands in for a real drawing"
  source=samples/plan.jww
fi
echo "drawing: $source"
cp "$source" "$work/drawing.jww"
cp "$source" "$work/DRAWING.JWW"
cp "$source" "$work/drawing-without-extension"

version=$(dpkg-deb -f "$deb" Version)
for program in brindle brindle-gui brindle-samples; do
  [ "$(command -v "$program")" = "$root/usr/bin/$program" ] || fail "$program is not in the package"
  got=$("$program" --version)
  [ "$got" = "$program $version" ] || fail "$program --version says '$got', the package is $version"
done
echo "--version: $version"

page=$(man -w brindle)
[ "$page" = "$root/usr/share/man/man1/brindle.1.gz" ] || fail "man -w brindle found '$page'"
echo "man -w brindle: $page"

for file in drawing.jww DRAWING.JWW drawing-without-extension; do
  type=$(xdg-mime query filetype "$work/$file")
  [ "$type" = application/x-jww ] || fail "xdg-mime query filetype $file says '$type'"
done
desktop=$(xdg-mime query default application/x-jww)
[ "$desktop" = io.github.brindle_jww.Brindle.desktop ] || fail "the default for .jww is '$desktop'"
echo "xdg-mime: application/x-jww (by name and by contents), opened by $desktop"

# The window, as a double-click on the drawing starts it.
gio launch "$root/usr/share/applications/$desktop" "$work/drawing.jww"
exe="$root/usr/bin/brindle-gui"
for _ in $(seq 1 300); do
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" = "$exe" ] && gui=${p#/proc/} && break
  done
  [ -n "$gui" ] && break
  sleep 0.1
done
[ -n "$gui" ] || fail "gio launch did not start $exe"
for _ in $(seq 1 600); do
  if [ -s "$HOME/Desktop/drawing.jww" ] && xwininfo -root -tree | grep '"Brindle Ver\.' >/dev/null; then
    break
  fi
  kill -0 "$gui" 2>/dev/null || fail "brindle-gui ended early"
  sleep 0.1
done
[ -s "$HOME/Desktop/drawing.jww" ] || fail "the window did not convert the drawing onto the desktop"
sleep 1  # the log page paints the result line
shot=${BRINDLE_PACKAGE_SHOT:-$work/window.png}
# The window alone, where the X server shows it.
title=$(xwininfo -root -tree | sed -n 's/.*"\(Brindle Ver\.[^"]*\)".*/\1/p' | sed -n 1p)
geometry=$(xwininfo -name "$title" |
  awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width/{w=$NF} /Height/{h=$NF}
       END{print x "," y "," w "," h}')
scrot --overwrite -a "$geometry" "$shot"
echo "the window converted the drawing onto the desktop; screenshot: $shot"
[ -d "$XDG_CACHE_HOME/brindle/images" ] || fail "the window's image folder is not in XDG_CACHE_HOME"
kill "$gui"
wait_gone() { for _ in $(seq 1 100); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done; }
wait_gone "$gui"
gui=""

# Settings saved by the command line land in XDG_CONFIG_HOME.
brindle --save -o "$work/out" "$work/drawing.jww" >/dev/null 2>&1
[ -s "$XDG_CONFIG_HOME/brindle/brindle.dat" ] || fail "the settings are not in XDG_CONFIG_HOME"
[ -s "$work/out/drawing.jww" ] || fail "brindle did not convert into -o"
find "$root" | sort >"$work/tree-after"
diff "$work/tree-before" "$work/tree-after" >&2 || fail "the programs wrote into the installed tree"
echo "settings in XDG_CONFIG_HOME, images in XDG_CACHE_HOME, nothing written beside the programs"
echo "package-test: passed"
