#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Brings translations/kurvex_en.ts up to date with the texts in src/: new texts come in
# unfinished (with a guess where a similar text was translated before), texts gone from the
# sources are dropped. Fill in the unfinished ones (Qt Linguist, or any editor: the English
# text goes into <translation> and the type="unfinished" goes), then check with
#   ctest --test-dir build -R translations
#
#   scripts/update-translations.sh [LUPDATE]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
lupdate=${1:-${LUPDATE:-}}
if [ -z "$lupdate" ]; then
  lupdate=$(command -v lupdate || true)
  [ -n "$lupdate" ] || lupdate=$(qtpaths6 --query QT_HOST_BINS 2>/dev/null || echo /usr/lib/qt6/bin)/lupdate
fi
[ -x "$lupdate" ] || { echo "lupdate not found (Debian: qt6-l10n-tools)"; exit 1; }
# No source locations: the file then changes only when a text does, not when code moves.
"$lupdate" -silent -no-obsolete -locations none -source-language de -target-language en \
  "$root/src" -ts "$root/translations/kurvex_en.ts"
echo "updated translations/kurvex_en.ts"
