#!/usr/bin/env bash
# Installs what is missing, builds everything and starts the application.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
exec build/Sources/SVGQuarvel/svg-quarvel "$@"
