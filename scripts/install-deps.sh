#!/usr/bin/env bash
# Installs every package the build, the application and the tests need.
# Idempotent: when everything is present already, apt is not touched.
set -euo pipefail

PACKAGES=(
  build-essential g++ cmake ninja-build pkg-config git
  clang libclang-rt-14-dev llvm
  libexpat1-dev uuid-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev zlib1g-dev liblz4-dev liblzma-dev libssl-dev
  libcurl4-openssl-dev libpsl-dev libicu-dev libgif-dev
  libgtkmm-4.0-dev libwebkitgtk-6.0-dev libjavascriptcoregtk-6.0-dev
  libjs-highlight.js libtree-sitter-dev
  fonts-dejavu-core
  libx11-dev libxtst-dev libcairo2-dev
  xvfb xauth dbus dbus-x11 util-linux
  # A program that holds a large clipboard text and sends it in pieces, for the paste tests.
  xclip
)
# The machine image may bring its own Node.js; Debian's is only the fallback.
if ! command -v npm >/dev/null 2>&1; then PACKAGES+=(nodejs npm); fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${PACKAGES[@]}"
fi
