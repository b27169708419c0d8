#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Debian package and checks it as a user would meet it.
#
# The package is built by dpkg-buildpackage from debian/ in a copy of the
# checkout's files under build-deb/src (so the .deb lands in build-deb/, not
# beside the checkout), then:
#   - lintian on the .deb: no error and no warning (infos are printed; the
#     README says why each that remains is there);
#   - desktop-file-validate, appstreamcli validate --no-net and xmllint on the
#     installed desktop entry, AppStream data and MIME type;
#   - scripts/package-test.sh installs it into a scratch root and runs it.
# Usage: scripts/package.sh [--no-test]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/build-deb
rm -rf "$out"
mkdir -p "$out/src"

# The files a fresh clone has, plus new ones not yet committed.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard |
    tar --null --files-from=- --ignore-failed-read -cf - | tar -xf - -C "$out/src"
else
  tar --exclude='./build*' --exclude=./out -cf - . | tar -xf - -C "$out/src"
fi

# dh gives the build a home of its own; the compiler cache stays the user's.
if command -v ccache >/dev/null 2>&1; then
  CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)}
  export CCACHE_DIR
fi
export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-parallel=$(nproc)}"
(cd "$out/src" && dpkg-buildpackage -us -uc -b) >"$out/build.log" 2>&1 || {
  tail -n 60 "$out/build.log" >&2
  echo "package: dpkg-buildpackage failed; the whole log is $out/build.log" >&2
  exit 1
}
deb=$(ls "$out"/brindle_*.deb)
echo "== $deb"
dpkg-deb -f "$deb" Package Version Depends

echo "== lintian"
lintian --fail-on error,warning --info "$deb"

echo "== desktop entry, AppStream data, MIME type"
files=$out/files
dpkg-deb -x "$deb" "$files"
desktop-file-validate "$files"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$files"/usr/share/metainfo/*.metainfo.xml
xmllint --noout "$files"/usr/share/mime/packages/brindle.xml
echo "validators: clean"

if [ "${1:-}" != "--no-test" ]; then
  BRINDLE_PACKAGE_SHOT="$out/window.png" ./scripts/package-test.sh "$deb"
fi
