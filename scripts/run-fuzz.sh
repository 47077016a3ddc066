#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the fuzz targets for the given number of seconds in all (default 60), shared evenly:
# the reader, the analysis and renderers, and the thresholds of the bus decoding.
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."
# Called from make: keep the inner builds from echoing every directory change.
unset MAKEFLAGS MAKELEVEL MFLAGS
if [ ! -f fuzz/CMakeLists.txt ]; then
  echo "fuzz: no fuzz targets yet"
  exit 0
fi
CC=clang CXX=clang++ cmake -S fuzz -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"
targets=()
for target in build-fuzz/fuzz_*; do
  [ -x "$target" ] && [ -f "$target" ] && targets+=("$target")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets built"
  exit 0
fi
# The targets run side by side on all cores: each gets its share of the fuzzing time in
# CPU seconds as when they ran one after the other, and the whole takes the time divided by
# the cores they use.
cores=$(nproc)
parallel=$(( ${#targets[@]} < cores ? ${#targets[@]} : cores ))
share=$(( seconds / ${#targets[@]} ))
[ "$share" -ge 1 ] || share=1
wall=$(( seconds / parallel ))
[ "$wall" -ge 1 ] || wall=1
pids=()
for target in "${targets[@]}"; do
  name=$(basename "$target")
  log=build-fuzz/$name.log
  corpus=build-fuzz/corpus-$name
  mkdir -p "$corpus"
  echo "fuzz: running $name for ${share}s of CPU time, ${wall}s beside the others (log: $log)"
  if [ "$name" = fuzz_reader ]; then
    # Seeds: small files of every model (fuzz/corpus, written by fuzz/make_corpus.py) and
    # the bad-file corpus. Inputs up to 8 KiB hold a two-channel file of 1000 samples;
    # longer ones only repeat the sample loop and slow every mutation down.
    extra=(-dict=fuzz/sav.dict "$corpus" fuzz/corpus tests/data/bad)
  else
    # The input is the capture's settings and samples: 8 KiB give some thousand samples.
    # The reader's seeds serve as first inputs: an empty one reaches none of the code.
    extra=("$corpus" fuzz/corpus)
  fi
  "$target" -max_total_time="$wall" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix=build-fuzz/ "${extra[@]}" >"$log" 2>&1 &
  pids+=($!)
done
status=0
for i in "${!targets[@]}"; do
  name=$(basename "${targets[$i]}")
  log=build-fuzz/$name.log
  if wait "${pids[$i]}"; then
    # "Done 1234567 runs in 61 second(s)"
    awk -v name="$name" '/^Done [0-9]+ runs in [0-9]+ second/ {
      printf "fuzz: %s: %d runs in %d s, %d exec/s\n", name, $2, $5, ($5 > 0 ? $2 / $5 : $2) }' "$log"
  else
    # Show the sanitizer's report; the input that did it is in build-fuzz/ (crash-*). A
    # reader input belongs in tests/data/bad once fixed.
    echo "fuzz: $name failed:"
    grep -E -A 25 "ERROR|deadly signal|Timeout|out-of-memory" "$log" | head -n 40
    status=1
  fi
done
exit $status
