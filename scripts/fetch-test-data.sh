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

# The Swift grammar (parser and scanner sources only) for the syntax check of
# generated code; the package's install scripts are never run.
SWIFT_GRAMMAR_VERSION=0.7.1
if [ ! -f "tree-sitter-swift-$SWIFT_GRAMMAR_VERSION/src/parser.c" ]; then
  rm -rf "tree-sitter-swift-$SWIFT_GRAMMAR_VERSION" tree-sitter-swift-*.tgz
  npm pack --silent --ignore-scripts "tree-sitter-swift@$SWIFT_GRAMMAR_VERSION" >/dev/null
  mkdir -p "tree-sitter-swift-$SWIFT_GRAMMAR_VERSION"
  tar -xzf "tree-sitter-swift-$SWIFT_GRAMMAR_VERSION.tgz" -C "tree-sitter-swift-$SWIFT_GRAMMAR_VERSION" \
    --strip-components=1 package/LICENSE package/src/parser.c package/src/scanner.c package/src/tree_sitter
  rm -f "tree-sitter-swift-$SWIFT_GRAMMAR_VERSION.tgz"
fi

# The Fluent emoji set: one drawing per entry of icons.json (its body wrapped in an svg element
# with the entry's size and view box); large drawings for the speed and memory benchmarks.
FLUENT_VERSION=1.2.7
if [ ! -f "fluent-emoji-$FLUENT_VERSION/icons.json" ]; then
  rm -rf "fluent-emoji-$FLUENT_VERSION" iconify-json-fluent-emoji-*.tgz
  npm pack --silent --ignore-scripts "@iconify-json/fluent-emoji@$FLUENT_VERSION" >/dev/null
  mkdir -p "fluent-emoji-$FLUENT_VERSION"
  tar -xzf "iconify-json-fluent-emoji-$FLUENT_VERSION.tgz" -C "fluent-emoji-$FLUENT_VERSION" \
    --strip-components=1 package/icons.json package/package.json
  rm -f "iconify-json-fluent-emoji-$FLUENT_VERSION.tgz"
fi
