#!/usr/bin/env bash
# Builds the Debian package into a scratch folder and runs Debian's own package checker on it:
# no error and no warning; the informational and pedantic notes are printed for the record.
# Skipped (status 77) where lintian is not installed (make package installs it).
# Usage: check-lintian.sh BUILD_DIR
set -euo pipefail
build=$1
command -v lintian >/dev/null || { echo "lintian is not installed: skipped"; exit 77; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log") || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/velmora1_*.deb)
status=0
lintian --display-info --pedantic --fail-on error,warning "$deb" || status=$?
[ $status -eq 0 ] || { echo "lintian: errors or warnings (status $status)"; exit 1; }
echo "lintian: 1 passed, 0 failed"
