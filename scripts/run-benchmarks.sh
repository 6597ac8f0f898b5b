#!/usr/bin/env bash
# Runs every benchmark of a build once, briefly, so that they keep building and
# working. Benchmarks that open windows draw without GL, like the display
# tests; run this under a display (the test command does).
set -euo pipefail
BUILD="${1:-build}"
export GDK_DEBUG=gl-disable GSK_RENDERER=cairo WEBKIT_DISABLE_COMPOSITING_MODE=1 LIBGL_ALWAYS_SOFTWARE=1
find "$BUILD/Benchmarks" -type f -name '*Benchmarks' -perm -u+x | sort | while read -r benchmark; do
  echo "== $benchmark"
  "$benchmark" --benchmark_min_time=0.05
done
