#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `make run`: shows the bundled example captures in the viewer when a display is
# available; otherwise converts them with kurvex-cli and says where the results are.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
shopt -s nullglob
examples=(examples/*.sav)

if [ -x "$build/src/app/kurvex" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/src/app/kurvex" "${examples[@]}"
fi

out="$build/examples-out"
mkdir -p "$out"
echo "No display (or no viewer built): converting the examples with kurvex-cli."
# One failed conversion does not stop the others, but it is not reported as success.
failed=0
for f in "${examples[@]}"; do
  base=$(basename "${f%.sav}")
  for kind in csv raw png; do
    "$build/src/cli/kurvex-cli" "$kind" "$f" -o "$out/$base.$kind" || failed=$((failed + 1))
  done
done
if [ $failed -ne 0 ]; then
  echo "$failed conversions failed; the others are in $out" >&2
  exit 1
fi
echo "Results are in $out"
