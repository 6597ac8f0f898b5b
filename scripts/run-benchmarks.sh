#!/usr/bin/env bash
# Runs every benchmark of a build once, briefly, so that they keep building and
# working. Benchmarks that open windows draw without GL, like the display
# tests; run this under a display (the test command does).
# With --brief (the test command's), the main loop's benchmarks run one or two
# drawings of each kind: the others go the same ways through the code and take
# minutes each.
set -euo pipefail
BUILD="${1:-build}"
BRIEF="${2:-}"
export GDK_DEBUG=gl-disable GSK_RENDERER=cairo WEBKIT_DISABLE_COMPOSITING_MODE=1 LIBGL_ALWAYS_SOFTWARE=1
find "$BUILD/Benchmarks" -type f -name '*Benchmarks' -perm -u+x | sort | while read -r benchmark; do
  echo "== $benchmark"
  args=(--benchmark_min_time=0.05)
  if [ "$BRIEF" = --brief ] && [ "$(basename "$benchmark")" = MainLoopStallBenchmarks ]; then
    args+=("--benchmark_filter=-(OpenAndType/[1-35]-|Paste/9MB-1line|groups-740000)")
  fi
  "$benchmark" "${args[@]}"
done
