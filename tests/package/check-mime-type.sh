#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the shared MIME type of captures with the desktop's own database tools: each of the
# three model identifiers at byte 10 is recognised, with or without the .sav extension, and
# other files (including other programs' .sav files) are not. Exit 77 (skipped) without
# update-mime-database or gio.
set -eu
definition=$1
examples=$2
for tool in update-mime-database gio python3; do
  command -v $tool >/dev/null 2>&1 || { echo "$tool missing: skipped"; exit 77; }
done
type=application/x-kurvex-sav
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data/mime/packages" "$work/files"
cp "$definition" "$work/data/mime/packages/"
update-mime-database "$work/data/mime" 2>/dev/null

# One capture as a base; the identifier field (bytes 10..19) is rewritten for each case.
base=$(ls "$examples"/*.sav | head -n 1)
python3 - "$base" "$work/files" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
folder = sys.argv[2]
def write(name, ident):
    open(folder + '/' + name, 'wb').write(data[:10] + ident + data[10 + len(ident):])
write('UTD2052CEL.sav', b'UTD2052CEL')
write('UTD2102CEL.sav', b'UTD2102CEL')
write('UTD2025CL.sav', b'UTD2025CL\0')
write('UTD2102CEL-no-extension', b'UTD2102CEL')
write('other-UTD2025CLX.sav', b'UTD2025CLX')
write('other-UTD2052CEK.sav', b'UTD2052CEK')
write('other-shifted.sav', b'\0UTD2052CEL')
open(folder + '/other-text.sav', 'wb').write(b'just some text, no capture\n' * 4)
open(folder + '/other-spss.sav', 'wb').write(b'$FL2@(#) SPSS DATA FILE' + b'\0' * 64)
PY

failures=0
for file in "$work"/files/*; do
  name=$(basename "$file")
  got=$(XDG_DATA_HOME="$work/data" gio info -a standard::content-type "$file" |
        sed -n 's/^ *standard::content-type: //p')
  case $name in
    other-*) [ "$got" != "$type" ] || { echo "FAIL $name: recognised as $got"; failures=$((failures + 1)); } ;;
    *) [ "$got" = "$type" ] || { echo "FAIL $name: $got, not $type"; failures=$((failures + 1)); } ;;
  esac
  echo "$name: $got"
done
[ $failures -eq 0 ]
