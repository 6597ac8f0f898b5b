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
# Headless tests run as they are, in parallel; tests labelled "display" open
# windows and get a virtual X server and a private session bus. They share that
# one server (and some move its real pointer), so they run one at a time. Their
# environment keeps the toolkit away from GL drivers (set per test by CMake and
# by their main).
run_ctest() {
  ctest --output-on-failure -j "$JOBS" -LE display "$@"
  dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --output-on-failure -L display --no-tests=ignore "$@"
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

configure build gcc g++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$JOBS"
(cd build && run_ctest)

configure build-asan clang clang++ -DCMAKE_BUILD_TYPE=Debug -DQUARVEL_SANITIZE=ON
cmake --build build-asan -j "$JOBS"
(cd build-asan && export ASAN_OPTIONS=detect_leaks=1 \
  LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 && run_ctest)

# Benchmarks run briefly so that they keep building and working.
dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/run-benchmarks.sh build
echo "All tests passed ($ROOT)"
