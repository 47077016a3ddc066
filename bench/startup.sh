#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up time of the viewer, from launch to the first painted capture window with a
# 65535-sample capture, against a bare Qt program showing an empty main window; both under
# the same Xvfb in the same run, taking turns. Prints the medians, the best runs (less
# disturbed by other work on the machine) and their ratios (goal: at most 1.5).
# Usage: bench/startup.sh [BUILD_DIR] [RUNS]   (the viewer must be built in BUILD_DIR)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${2:-7}
work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

libs=""
for lib in gui output screen decode analysis math readouts capture text; do
    found=$(find "$build/src" -name "libkurvex_$lib.a" | head -n 1)
    [ -n "$found" ] && libs="$libs $found"
done
qt="$(pkg-config --cflags --libs Qt6Widgets Qt6PrintSupport)"
flags="-std=c++20 -O2 -fPIC -DQT_NO_KEYWORDS -I$root/src -I$root/tests"
g++ $flags "$root/bench/startup/probe_kurvex.cpp" "$root/tests/support/sav_builder.cpp" \
    -o "$work/probe_kurvex" $libs $qt -lpng $(pkg-config --libs fftw3 libsigrokdecode python3-embed)
g++ $flags "$root/bench/startup/probe_bare.cpp" -o "$work/probe_bare" $qt
"$work/probe_kurvex" --write "$work/big.sav"

display=:$((90 + $$ % 9))
Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
export DISPLAY="$display"

# Nanoseconds from launch to the first paint that the probe reports.
measure() {
    start=$(date +%s%N)
    end=$("$@" 2>/dev/null | tail -n 1)
    echo $(( (end - start) / 1000 ))
}

# Microseconds of processor time the whole run took (launch to the first paint, then exit);
# less disturbed than the wall clock when other work shares the machine.
cpu_ms() {
    perf stat -x, -e task-clock -o "$work/stat.txt" "$@" > /dev/null 2>&1
    awk -F, '/task-clock/ { printf "%d\n", $1 * 1000 }' "$work/stat.txt"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: > "$work/bare.txt"
: > "$work/kurvex.txt"
use_perf=
command -v perf > /dev/null 2>&1 && perf stat -e task-clock true > /dev/null 2>&1 && use_perf=1
: > "$work/bare_cpu.txt"
: > "$work/kurvex_cpu.txt"
for _ in $(seq "$runs"); do
    measure "$work/probe_bare" >> "$work/bare.txt"
    measure "$work/probe_kurvex" "$work/big.sav" >> "$work/kurvex.txt"
    if [ -n "$use_perf" ]; then
        cpu_ms "$work/probe_bare" >> "$work/bare_cpu.txt"
        cpu_ms "$work/probe_kurvex" "$work/big.sav" >> "$work/kurvex_cpu.txt"
    fi
done
bare=$(median < "$work/bare.txt")
kurvex=$(median < "$work/kurvex.txt")
bare_best=$(sort -n "$work/bare.txt" | head -n 1)
kurvex_best=$(sort -n "$work/kurvex.txt" | head -n 1)
echo "bare Qt main window:             median ${bare} us, best ${bare_best} us ($runs runs)"
echo "kurvex with a 65535-sample file: median ${kurvex} us, best ${kurvex_best} us ($runs runs)"
awk -v k="$kurvex" -v b="$bare" -v kb="$kurvex_best" -v bb="$bare_best" 'BEGIN {
    printf "ratio: %.2f of the medians, %.2f of the best runs (goal at most 1.5)\n", k / b, kb / bb
}'
if [ -n "$use_perf" ]; then
    bare_cpu=$(median < "$work/bare_cpu.txt")
    kurvex_cpu=$(median < "$work/kurvex_cpu.txt")
    awk -v k="$kurvex_cpu" -v b="$bare_cpu" 'BEGIN {
        printf "processor time: bare %d us, kurvex %d us, ratio %.2f\n", b, k, k / b
    }'
fi

# Launch to a visible window of the real programs, as a user sees it: the viewer with the
# 65535-sample file against PulseView with a session of the same length (two analog
# channels), taking turns, each polled with xdotool until its window is mapped. Only when
# PulseView, sigrok-cli and xdotool are installed (goal: the viewer at most 0.15 of PulseView).
viewer=$(find "$build/src" -name kurvex -type f -perm -u+x | head -n 1)
if [ -n "$viewer" ] && command -v pulseview > /dev/null 2>&1 &&
    command -v sigrok-cli > /dev/null 2>&1 && command -v xdotool > /dev/null 2>&1; then
    sigrok-cli -d demo --channels A0,A1 --samples 65535 -o "$work/session.sr" > /dev/null 2>&1
    # Microseconds from launch until a visible window whose name matches $1.
    visible_us() {
        name=$1
        shift
        start=$(date +%s%N)
        "$@" > /dev/null 2>&1 &
        pid=$!
        # A program that never shows a window counts as nothing after 20 seconds.
        limit=$((start + 20000000000))
        while ! xdotool search --onlyvisible --name "$name" > /dev/null 2>&1; do
            [ "$(date +%s%N)" -lt "$limit" ] || break
            sleep 0.005
        done
        end=$(date +%s%N)
        kill "$pid" 2> /dev/null || true
        wait "$pid" 2> /dev/null || true
        # Until its window has gone, the next run would find it at once.
        while xdotool search --onlyvisible --name "$name" > /dev/null 2>&1; do sleep 0.01; done
        [ "$end" -lt "$limit" ] && echo $(( (end - start) / 1000 ))
        return 0
    }
    : > "$work/viewer.txt"
    : > "$work/pulseview.txt"
    for _ in $(seq "$runs"); do
        visible_us '^Kurvex$' "$viewer" "$work/big.sav" >> "$work/viewer.txt"
        visible_us 'PulseView' pulseview -i "$work/session.sr" >> "$work/pulseview.txt"
    done
    v=$(median < "$work/viewer.txt")
    p=$(median < "$work/pulseview.txt")
    echo "launch to visible, kurvex:    median ${v} us ($runs runs)"
    echo "launch to visible, PulseView: median ${p} us ($runs runs)"
    awk -v v="$v" -v p="$p" 'BEGIN { printf "ratio to PulseView: %.2f (goal at most 0.15)\n", v / p }'
fi
