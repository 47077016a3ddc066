#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file the repository tracks names its license in its first lines, and the
# license text itself is there. Exit 77 (skipped) outside a git checkout.
set -eu
cd "$1"
git rev-parse --git-dir >/dev/null 2>&1 || { echo "not a git checkout: skipped"; exit 77; }
grep -q 'GNU GENERAL PUBLIC LICENSE' LICENSE || { echo "LICENSE lacks the GPL text"; exit 1; }
missing=0
for file in $(git ls-files '*.cpp' '*.h' '*.sh' '*.py' '*.cmake' '*CMakeLists.txt' Makefile .ci/run 'help/*.html'); do
  if ! head -n 3 "$file" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later'; then
    echo "no SPDX line: $file"
    missing=1
  fi
done
[ $missing -eq 0 ] && echo "ok: every source file names its license"
exit $missing
