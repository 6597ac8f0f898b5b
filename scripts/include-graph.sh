#!/usr/bin/env bash
# Lists every #include "..." that crosses from one folder to another, as
#   <including file> -> <included header>   [<from part> -> <to part>]
# where a part is a module folder under Sources/ (and, inside Fennix, its first-level folder).
# With --parts, prints only the distinct part -> part pairs with their counts.
# Run from anywhere inside the work tree.
set -euo pipefail
cd "$(git rev-parse --show-toplevel)"

part_of() {
  # Sources/Fennix/UI/GTK/X.h -> Fennix/UI ; Sources/SVGParser/SVG/X.h -> SVGParser
  local path=${1#Sources/}
  local module=${path%%/*}
  local rest=${path#*/}
  if [[ $module == Fennix && $rest == */* ]]; then
    echo "Fennix/${rest%%/*}"
  else
    echo "$module"
  fi
}

mode=${1:-}
grep -rHn --include='*.h' --include='*.cpp' -E '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' Sources |
while IFS=: read -r file _ line; do
  header=$(sed -E 's/.*#[[:space:]]*include[[:space:]]+"([^"]+)".*/\1/' <<<"$line")
  [[ -f Sources/$header ]] || continue       # a header beside the file, or a system one
  from=$(part_of "$file")
  to=$(part_of "Sources/$header")
  [[ $from == "$to" ]] && continue
  echo "$file -> $header   [$from -> $to]"
done | if [[ $mode == --parts ]]; then
  sed -E 's/.*\[(.*)\]$/\1/' | sort | uniq -c | sort -k2
else
  sort
fi
