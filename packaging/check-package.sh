#!/usr/bin/env bash
# Builds the Debian package into a scratch folder and checks what it holds and what it asks
# for. Usage: check-package.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1 id=$2
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log") || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/velmora1_*.deb)
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
doc=./usr/share/doc/velmora1
for f in ./usr/bin/velmora1 ./usr/bin/velmora1-batch \
         ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/$id.svg ./usr/share/icons/hicolor/48x48/apps/$id.png \
         ./usr/share/icons/hicolor/256x256/apps/$id.png \
         ./usr/share/man/man1/velmora1.1.gz ./usr/share/man/man1/velmora1-batch.1.gz \
         $doc/copyright $doc/changelog.Debian.gz; do
  grep -qxF "$f" <<<"$files" || { echo "package lacks $f"; exit 1; }
done
unpacked() { dpkg-deb --fsys-tarfile "$deb" | tar -xO "$1"; }

depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libjpeg62-turbo libpng16-16 qt6-qpa-plugins qt6-translations-l10n fonts-ipaexfont-gothic; do
  grep -q "\b$p\b" <<<"$depends" || { echo "Depends lacks $p: $depends"; exit 1; }
done
[ "$(dpkg-deb -f "$deb" Package)" = "velmora1" ]

# One version everywhere: the package's, its changelog's latest entry (the one in the source
# and the one installed), and the programs' own (the package's without its Debian revision).
version=$(dpkg-deb -f "$deb" Version)
[ "$version" = "$(dpkg-parsechangelog -l "$here/changelog.Debian" -S Version)" ] \
  || { echo "package version $version is not the changelog's latest"; exit 1; }
unpacked $doc/changelog.Debian.gz | gzip -dc | cmp -s - "$here/changelog.Debian" \
  || { echo "the installed changelog differs from packaging/changelog.Debian"; exit 1; }
"$build/app/velmora1-batch" --version | grep -qx "Version ${version%-*}" \
  || { echo "velmora1-batch is not version ${version%-*}"; exit 1; }

# A maintainer to write to.
grep -Eq '^[^<>]+ <[^@<>]+@[^@<>]+\.[a-z]+>$' <<<"$(dpkg-deb -f "$deb" Maintainer)" \
  || { echo "Maintainer has no address: $(dpkg-deb -f "$deb" Maintainer)"; exit 1; }

# The description fits an 80-column terminal.
long=$(dpkg-deb -f "$deb" Description | awk 'length > 80')
[ -z "$long" ] || { echo "description lines over 80 columns: $long"; exit 1; }

# The copyright file is machine-readable and carries LICENSE's notice and text.
copyright=$(unpacked $doc/copyright)
head -1 <<<"$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/'
notice=$(grep -m1 '^Copyright (c) ' "$here/../LICENSE" | sed 's/^Copyright (c) //')
grep -qxF "Copyright: $notice" <<<"$copyright" || { echo "copyright lacks the notice '$notice'"; exit 1; }
grep -qx 'License: Expat' <<<"$copyright"
diff <(awk '/^License: Expat$/ { text = ""; next } { text = text $0 "\n" } END { printf "%s", text }' <<<"$copyright" |
       sed 's/^ //; s/^\.$//') \
     <(sed -n '/^Permission is hereby granted/,$p' "$here/../LICENSE") \
  || { echo "the copyright file's licence text is not LICENSE's"; exit 1; }

# Both manual pages decompress and name their programs.
for page in velmora1 velmora1-batch; do
  unpacked ./usr/share/man/man1/$page.1.gz | gzip -dc | grep -q "^\.TH ${page^^} 1 " \
    || { echo "manual page $page.1.gz is not that of $page"; exit 1; }
done
echo "Debian package: 1 passed, 0 failed"
