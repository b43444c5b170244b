#!/usr/bin/env bash
# Builds the Debian package into a scratch folder and checks what it holds and what it asks
# for. Usage: check-package.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1 id=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log") || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/velmora1_*.deb)
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/velmora1 ./usr/bin/velmora1-batch \
         ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/$id.svg ./usr/share/icons/hicolor/48x48/apps/$id.png \
         ./usr/share/icons/hicolor/256x256/apps/$id.png ./usr/share/man/man1/velmora1-batch.1.gz; do
  grep -qxF "$f" <<<"$files" || { echo "package lacks $f"; exit 1; }
done

depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libjpeg62-turbo libpng16-16 qt6-qpa-plugins qt6-translations-l10n fonts-ipaexfont-gothic; do
  grep -q "\b$p\b" <<<"$depends" || { echo "Depends lacks $p: $depends"; exit 1; }
done
[ "$(dpkg-deb -f "$deb" Version)" = "3.07" ]
[ "$(dpkg-deb -f "$deb" Package)" = "velmora1" ]
echo "Debian package: 1 passed, 0 failed"
