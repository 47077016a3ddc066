#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that a program directory holds the help page of each language (German, English) and
# every picture the pages show.
set -eu
dir=$1
for page in kurvex.html kurvex_en.html; do
  [ -f "$dir/$page" ] || { echo "$page is not in $dir"; exit 1; }
  for picture in $(sed -n 's/.*<img[^>]*src="\([^"]*\)".*/\1/p' "$dir/$page"); do
    [ -f "$dir/$picture" ] || { echo "help picture $picture ($page) is not in $dir"; exit 1; }
  done
done
echo "ok: help in $dir"
