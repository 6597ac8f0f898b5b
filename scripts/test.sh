#!/usr/bin/env bash
# Installs what is missing, builds everything and runs all tests: once in a
# normal build with g++ and once with clang and its address and undefined-
# behaviour sanitizers, which also builds the fuzz targets and runs each briefly.
# So both compilers build the whole tree on every run.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"

bash scripts/install-deps.sh
bash scripts/fetch-test-data.sh

JOBS="$(nproc)"
# All tests run in parallel, two per core: most of the tests open windows or
# talk to servers and spend much of their time waiting for them (one per core
# keeps the cores less than half busy). Tests labelled "display" open windows:
# each starts through scripts/display-session.sh, which gives it a virtual X
# server and a session bus of its own (set per test by CMake). Their environment
# keeps the toolkit away from GL drivers (set per test by CMake and by their main).
run_ctest() {
  ctest --output-on-failure -j "$((JOBS * 2))" "$@"
}

# Configures a build folder for a compiler; a folder set up for another compiler
# starts afresh.
configure() {
  local dir="$1" cc="$2" cxx="$3"
  shift 3
  local fresh=()
  if [ -f "$dir/CMakeCache.txt" ] &&
    ! grep -q "^CMAKE_CXX_COMPILER:[A-Z]*=\(.*/\)\?$cxx\$" "$dir/CMakeCache.txt"; then
    fresh=(--fresh)
  fi
  cmake "${fresh[@]}" -S . -B "$dir" -G Ninja -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" "$@"
}

# Line tables are all the debug information a failure here needs (file and
# line of each frame); full debug information doubles the compile time of the
# larger files.
configure build gcc g++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
cmake --build build -j "$JOBS"

# The sanitizer build compiles at the lowest priority while the normal build's
# tests run, on the time the cores would otherwise wait with them; the tests
# come first whenever they have work.
configure build-asan clang clang++ -DCMAKE_BUILD_TYPE=Debug -DQUARVEL_SANITIZE=ON
ASAN_BUILD_LOG="$ROOT/build-asan/build.log"
nice -n 19 cmake --build build-asan -j "$JOBS" >"$ASAN_BUILD_LOG" 2>&1 &
asan_build=$!
tests_rc=0
(cd build && run_ctest) || tests_rc=$?
build_rc=0
wait "$asan_build" || build_rc=$?
cat "$ASAN_BUILD_LOG"
[ "$tests_rc" -eq 0 ] || { echo "The normal build's tests failed" >&2; exit "$tests_rc"; }
[ "$build_rc" -eq 0 ] || { echo "The sanitizer build failed" >&2; exit "$build_rc"; }

(cd build-asan && export ASAN_OPTIONS=detect_leaks=1 \
  LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 && run_ctest)

# Benchmarks run briefly so that they keep building and working.
bash scripts/display-session.sh bash scripts/run-benchmarks.sh build --brief
echo "All tests passed ($ROOT)"
