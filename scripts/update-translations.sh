#!/usr/bin/env bash
# Brings translations/velmora1_en.ts up to date with the sources: new texts are added as
# unfinished, texts no longer in the sources are dropped. Run it after changing a caption or a
# message, then translate the unfinished entries (Qt Linguist, or by hand).
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate=/usr/lib/qt6/bin/lupdate
command -v lupdate6 >/dev/null 2>&1 && lupdate=lupdate6
"$lupdate" -I . -no-obsolete -locations none -source-language ja_JP -target-language en \
  analysis app core files imaging panels pupil run ui viewers -ts translations/velmora1_en.ts
