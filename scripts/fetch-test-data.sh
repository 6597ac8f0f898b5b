#!/usr/bin/env bash
# Test data from the npm registry, pinned; kept under build-data/ (ignored by git).
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build-data
cd build-data
ICONS_VERSION=1.11.3
if [ ! -d "bootstrap-icons-$ICONS_VERSION" ]; then
  rm -rf package bootstrap-icons-*.tgz
  npm pack --silent "bootstrap-icons@$ICONS_VERSION" >/dev/null
  mkdir -p "bootstrap-icons-$ICONS_VERSION"
  tar -xzf "bootstrap-icons-$ICONS_VERSION.tgz" -C "bootstrap-icons-$ICONS_VERSION" --strip-components=1
  rm -f "bootstrap-icons-$ICONS_VERSION.tgz"
fi
