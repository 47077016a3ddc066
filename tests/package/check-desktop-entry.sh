#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Validates a desktop entry with desktop-file-validate; exit 77 (skipped) without the tool.
set -eu
entry=$1
command -v desktop-file-validate >/dev/null 2>&1 || { echo "desktop-file-validate missing: skipped"; exit 77; }
# The validator also warns about hints it merely prefers; any output counts as a failure.
out=$(desktop-file-validate "$entry" 2>&1) || { echo "$out"; exit 1; }
[ -z "$out" ] || { echo "$out"; exit 1; }
echo "ok: $entry"
