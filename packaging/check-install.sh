#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks the files a desktop reads with the
# desktop's own validators. Usage: check-install.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1 id=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
usr=$root/usr
fail=0
need() { [ -e "$usr/$1" ] || { echo "missing: /usr/$1"; fail=1; }; }

need bin/velmora1
need bin/velmora1-batch
need share/applications/$id.desktop
need share/metainfo/$id.metainfo.xml
need share/icons/hicolor/scalable/apps/$id.svg
for size in 16 24 32 48 64 128 256; do need share/icons/hicolor/${size}x${size}/apps/$id.png; done
need share/man/man1/velmora1.1.gz
need share/man/man1/velmora1-batch.1.gz
need share/doc/velmora1/copyright
need share/doc/velmora1/changelog.Debian.gz
[ $fail -eq 0 ] || exit 1

# Not even a hint from the one, no issue above the pedantic ones from the other.
hints=$(desktop-file-validate "$usr/share/applications/$id.desktop")
[ -z "$hints" ] || { echo "$hints"; exit 1; }
appstreamcli validate --no-net --strict "$usr/share/metainfo/$id.metainfo.xml"

# The menu starts the program in its per-user folder, under the icon the theme holds.
grep -qx "Exec=velmora1 --per-user-folder" "$usr/share/applications/$id.desktop"
grep -qx "Icon=$id" "$usr/share/applications/$id.desktop"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$usr/share/metainfo/$id.metainfo.xml"
grep -q "<screenshot type=\"default\">" "$usr/share/metainfo/$id.metainfo.xml"
# The licence the metadata states is the one LICENSE gives.
head -1 "$(dirname "$0")/../LICENSE" | grep -qx "MIT License"
grep -q "<project_license>MIT</project_license>" "$usr/share/metainfo/$id.metainfo.xml"

# Every PNG is the size its folder names.
for size in 16 24 32 48 64 128 256; do
  header=$(od -An -tx1 -j16 -N8 "$usr/share/icons/hicolor/${size}x${size}/apps/$id.png" | tr -d ' \n')
  printf -v expected '%08x%08x' "$size" "$size"
  [ "$header" = "$expected" ] || { echo "icon ${size}x${size} has header $header"; exit 1; }
done

# The manual pages decompress and name the options the commands know.
page=$(gzip -dc "$usr/share/man/man1/velmora1-batch.1.gz" | sed 's/\\-/-/g')
for option in wavelength-table display pupil intensity version aperture focal-length secondary wavelength band \
    lang quiet progress zernike; do
  grep -q -- "--$option" <<<"$page" || { echo "manual page lacks --$option"; exit 1; }
done
page=$(gzip -dc "$usr/share/man/man1/velmora1.1.gz" | sed 's/\\-/-/g')
grep -q -- "--per-user-folder" <<<"$page" || { echo "velmora1's manual page lacks --per-user-folder"; exit 1; }
for option in lang help version; do
  grep -q -- "--$option" <<<"$page" || { echo "velmora1's manual page lacks --$option"; exit 1; }
done

# The installed command runs from its new place.
"$usr/bin/velmora1-batch" --version | grep -qx "Version 3.07"
echo "installed desktop files: 1 passed, 0 failed"
