#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that a program directory holds the help page and every picture the page shows.
set -eu
dir=$1
[ -f "$dir/kurvex.html" ] || { echo "kurvex.html is not in $dir"; exit 1; }
for picture in $(sed -n 's/.*<img[^>]*src="\([^"]*\)".*/\1/p' "$dir/kurvex.html"); do
  [ -f "$dir/$picture" ] || { echo "help picture $picture is not in $dir"; exit 1; }
done
echo "ok: help in $dir"
