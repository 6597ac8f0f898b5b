#!/usr/bin/env bash
# Exploratory fuzzing, outside the test command: runs one fuzz target (or all, side by side) for
# the given minutes with a random seed, starting from its seed corpus and regressions. New inputs
# go into build-asan/fuzz-scratch/TARGET; on a failure it prints the reproducer and the line that
# adds it to the target's regressions, which the test command then replays on every run.
#   bash scripts/fuzz.sh TARGET|all MINUTES
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
if [ $# -ne 2 ] || ! [[ "$2" =~ ^[0-9]+$ ]]; then
  echo "usage: bash scripts/fuzz.sh TARGET|all MINUTES" >&2
  exit 2
fi
target="$1" minutes="$2"
BUILD="$ROOT/build-asan"
TARGETS=()
for source in Tests/Fuzz/*Fuzzer.cpp; do TARGETS+=("$(basename "$source" .cpp)"); done
if [ "$target" = all ]; then
  chosen=("${TARGETS[@]}")
elif [[ " ${TARGETS[*]} " == *" $target "* ]]; then
  chosen=("$target")
else
  echo "unknown target $target; one of: ${TARGETS[*]}" >&2
  exit 2
fi

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Debug -DQUARVEL_SANITIZE=ON >/dev/null || exit 1
fi
cmake --build "$BUILD" -j "$(nproc)" --target "${chosen[@]}" || exit 1

export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"

# One target: fuzzes, then reports what it found. The log keeps libFuzzer's own output.
fuzz_one() {
  local name="$1"
  local scratch="$BUILD/fuzz-scratch/$name" artifacts="$BUILD/fuzz-artifacts/$name/"
  local log="$BUILD/fuzz-artifacts/$name.log"
  mkdir -p "$scratch" "$artifacts"
  local folders=("$scratch" "Tests/Fuzz/Corpus/$name")
  [ -d "Tests/Fuzz/Regressions/$name" ] && folders+=("Tests/Fuzz/Regressions/$name")
  local dictionary=()
  [ -f "Tests/Fuzz/$name.dict" ] && dictionary=("-dict=Tests/Fuzz/$name.dict")
  "$BUILD/Tests/Fuzz/$name" -max_total_time=$((minutes * 60)) -timeout=30 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "${dictionary[@]}" "${folders[@]}" >"$log" 2>&1
  local status=$?
  local runs
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -n 1)
  if [ $status -eq 0 ]; then
    echo "$name: ${minutes} min, ${runs:-?} executions, nothing found (log: $log)"
    return 0
  fi
  local reproducer
  reproducer=$(grep -o "Test unit written to .*" "$log" | sed 's/Test unit written to //' | tail -n 1)
  echo "$name: FAILED after ${runs:-?} executions (log: $log)"
  if [ -n "$reproducer" ]; then
    echo "  reproducer: $reproducer"
    echo "  replay:     $BUILD/Tests/Fuzz/$name $reproducer"
    echo "  keep it:    mkdir -p Tests/Fuzz/Regressions/$name && cp $reproducer Tests/Fuzz/Regressions/$name/"
  fi
  return 1
}

failed=0
pids=()
for name in "${chosen[@]}"; do
  fuzz_one "$name" &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
exit $failed
