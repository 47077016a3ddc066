#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Redraws the stored pictures of the viewer into this folder (needs Qt 6 development files).
set -e
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
g++ -std=c++20 -O1 -fPIC "$here/draw_artwork.cpp" -o "$out/draw_artwork" \
    $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$out/draw_artwork" "$here" "$here/../../../data/icons"
