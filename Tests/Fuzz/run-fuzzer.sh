#!/usr/bin/env bash
# One fuzz target as a test that gives the same verdict on every run: it replays every input of
# its seed corpus and of its regressions folder (inputs that once failed), then fuzzes for a fixed
# number of runs from a fixed seed. Inputs the run finds go into a scratch folder that starts
# empty every time, so that nothing a run found changes the next one.
#   run-fuzzer.sh FUZZER CORPUS REGRESSIONS SCRATCH SEED RUNS [libFuzzer options...]
set -euo pipefail
fuzzer="$1" corpus="$2" regressions="$3" scratch="$4" seed="$5" runs="$6"
shift 6

inputs=()
for folder in "$corpus" "$regressions"; do
  [ -d "$folder" ] || continue
  while IFS= read -r -d '' file; do inputs+=("$file"); done < <(find "$folder" -type f -print0 | sort -z)
done
if ((${#inputs[@]})); then
  echo "Replaying ${#inputs[@]} inputs"
  "$fuzzer" "$@" "${inputs[@]}"
fi

# Addresses enter what some targets do (maps keyed by pointers), so the same seed follows the same
# path only with the same layout: run without address randomisation where the system allows it.
fixed=()
if setarch -R true 2>/dev/null; then fixed=(setarch -R); fi

rm -rf "$scratch"
mkdir -p "$scratch"
folders=("$scratch" "$corpus")
[ -d "$regressions" ] && folders+=("$regressions")
exec "${fixed[@]}" "$fuzzer" -seed="$seed" -runs="$runs" -reload=0 -artifact_prefix="$scratch/" -print_final_stats=1 "$@" "${folders[@]}"
