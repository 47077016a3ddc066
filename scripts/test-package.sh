#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a build tree, unpacks it into a scratch root and checks what
# a user would get: the layout (help page beside the real program, link in bin), the
# dependencies, the desktop files, and the programs themselves running from the unpacked tree.
#
#   scripts/test-package.sh [BUILD_DIR] [--system] [--fresh]
#
# --system also installs the package with apt-get on this machine, runs it from /usr and
# removes it again. Meant for a throwaway CI container; it refuses when kurvex is already
# installed.
# --fresh (root, debootstrap, network) also installs it into a new minimal Debian 12 root,
# as on a fresh machine, and runs it there; takes a few minutes.
# Exit 77 means skipped (packaging tools missing).
set -euo pipefail

build=build
system=0
fresh=0
for arg in "$@"; do
  case $arg in
    --system) system=1 ;;
    --fresh) fresh=1 ;;
    *) build=$arg ;;
  esac
done
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)

for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v $tool >/dev/null 2>&1 || { echo "$tool missing: skipped"; exit 77; }
done

work=$(mktemp -d)
cleanup() {
  if mountpoint -q "$work/fresh/proc" 2>/dev/null; then umount "$work/fresh/proc"; fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The package of what this build tree holds (build it first); cpack's scratch files stay in $work.
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$work"/out/kurvex_*.deb)
echo "package: $(basename "$deb") ($(du -h "$deb" | cut -f1))"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libpng16-16 libfftw3-double3 qt6-qpa-plugins \
  xdg-utils python3-numpy; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed"
done

root=$work/root
dpkg-deb -x "$deb" "$root"

# The link in bin leads to the real program, and the help page with its pictures lies beside
# that: the viewer looks for it in the directory of its resolved file.
[ -L "$root/usr/bin/kurvex" ] || fail "usr/bin/kurvex is no link"
real=$(readlink -f "$root/usr/bin/kurvex")
[ "$real" = "$root/usr/lib/kurvex/kurvex" ] || fail "usr/bin/kurvex leads to $real"
[ -x "$real" ] || fail "$real is not executable"
program_dir=$(dirname "$real")
"$source_dir/tests/package/check-help-beside.sh" "$program_dir" || fail "help beside the program"
[ -x "$root/usr/bin/kurvex-cli" ] || fail "usr/bin/kurvex-cli missing"
for file in usr/share/applications/kurvex.desktop usr/share/mime/packages/kurvex-sav.xml \
            usr/share/icons/hicolor/{16x16,32x32,48x48,128x128}/apps/kurvex.png; do
  [ -f "$root/$file" ] || fail "$file missing"
done
# The license travels with the package, in the form Debian's tools read.
grep -q '^License: GPL-3.0-or-later' "$root/usr/share/doc/kurvex/copyright" 2>/dev/null ||
  fail "usr/share/doc/kurvex/copyright missing or without the license"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$root/usr/share/applications/kurvex.desktop" || fail "desktop entry invalid"
fi

# Every library the programs need is found on this system.
for binary in "$real" "$root/usr/bin/kurvex-cli"; do
  if ldd "$binary" | grep -q "not found"; then
    ldd "$binary" | grep "not found"
    fail "$(basename "$binary") lacks libraries"
  fi
done

example=$(ls "$source_dir"/examples/*.sav | head -n 1)
version=$(dpkg-deb -f "$deb" Version)
# The Python module lies where Debian's python3 looks, beside its type stubs, and loads a capture.
site=$root/usr/lib/python3/dist-packages
ls "$site"/kurvex.cpython-*.so >/dev/null 2>&1 || fail "the Python module is missing"
[ -f "$site/kurvex.pyi" ] || fail "kurvex.pyi is missing"
PYTHONPATH=$site /usr/bin/python3 -c 'import sys, kurvex; print(kurvex.load(sys.argv[1]).ch1.size)' \
  "$example" >/dev/null || fail "the Python module cannot load a capture"
check_programs() { # $1: directory holding kurvex and kurvex-cli
  local out
  out=$("$1/kurvex-cli" --version) || fail "kurvex-cli --version"
  echo "$out"
  [ "$out" = "kurvex-cli $version" ] || fail "kurvex-cli --version printed: $out"
  out=$("$1/kurvex-cli" info "$example") || fail "kurvex-cli info"
  [ -n "$out" ] || fail "kurvex-cli info printed nothing"
  # The English texts are built into the program, not looked for beside it.
  out=$("$1/kurvex-cli" --lang en info "$example") || fail "kurvex-cli --lang en info"
  [[ $out == "Channel 1"* ]] || fail "kurvex-cli --lang en info printed: ${out%%$'\n'*}"
  # The viewer starts, opens a capture and keeps running until it is stopped.
  local rc=0
  QT_QPA_PLATFORM=offscreen timeout 5 "$1/kurvex" "$example" >"$work/viewer.log" 2>&1 || rc=$?
  [ $rc -eq 124 ] || { cat "$work/viewer.log"; fail "viewer ended early with $rc"; }
}
check_programs "$root/usr/bin"

if [ $system -eq 1 ]; then
  if dpkg-query -W -f='${Status}' kurvex 2>/dev/null | grep -q "install ok installed"; then
    fail "kurvex is already installed here; --system leaves it alone"
  else
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    cp "$deb" "$work/kurvex.deb"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$work/kurvex.deb" >"$work/apt.log" 2>&1 ||
      { cat "$work/apt.log"; fail "apt-get install"; }
    check_programs /usr/bin
    [ -f /usr/lib/kurvex/kurvex.html ] || fail "/usr/lib/kurvex/kurvex.html missing"
    # The package's trigger has rebuilt the system's MIME database; gio reads it as a file
    # manager would (xdg-mime outside a desktop session only asks `file`).
    if command -v gio >/dev/null 2>&1; then
      type=$(gio info -a standard::content-type "$example" | sed -n 's/^ *standard::content-type: //p')
      [ "$type" = application/x-kurvex-sav ] || fail "installed MIME type: $example is $type"
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq kurvex >/dev/null 2>&1 || fail "apt-get purge"
  fi
fi

if [ $fresh -eq 1 ]; then
  if [ "$(id -u)" -ne 0 ] || ! command -v debootstrap >/dev/null 2>&1; then
    fail "--fresh needs root and debootstrap"
  else
    fresh_root=$work/fresh
    debootstrap --variant=minbase bookworm "$fresh_root" http://deb.debian.org/debian \
      >"$work/debootstrap.log" 2>&1 || { tail "$work/debootstrap.log"; fail "debootstrap"; }
    cp "$deb" "$fresh_root/tmp/kurvex.deb"
    cp "$example" "$fresh_root/tmp/example.sav"
    cp /etc/resolv.conf "$fresh_root/etc/resolv.conf"
    mount -t proc proc "$fresh_root/proc"
    chroot "$fresh_root" sh -c 'apt-get update -qq &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/kurvex.deb' >"$work/fresh-apt.log" 2>&1 ||
      { tail "$work/fresh-apt.log"; fail "apt-get install on a fresh system"; }
    out=$(chroot "$fresh_root" sh -c 'kurvex-cli --version && kurvex-cli info /tmp/example.sav >/dev/null &&
      test -f "$(dirname "$(readlink -f /usr/bin/kurvex)")/kurvex.html" &&
      { QT_QPA_PLATFORM=offscreen timeout 5 kurvex /tmp/example.sav >/dev/null 2>&1; test $? -eq 124; }' 2>&1) ||
      { echo "$out"; fail "running on a fresh system"; }
    echo "fresh system: $out"
  fi
fi

[ $failures -eq 0 ] && echo "package ok"
exit $((failures > 0))
