#!/usr/bin/env bash
# Includes never run back up the layers: each folder of src/ includes only from
# itself and the folders below it. Prints every include that breaks the rule.
set -uo pipefail
src=${1:-$(dirname "$0")/../src}
declare -A allowed=(
  [shared]="shared"
  [primitives]="primitives shared"
  [encoder]="encoder shared"
  [layouts]="layouts primitives shared"
  [tracks]="tracks layouts primitives shared"
  [convert]="convert tracks layouts primitives shared"
  [shell]="shell convert tracks layouts primitives shared"
)
bad=0
for folder in "${!allowed[@]}"; do
  while IFS=: read -r file _ line; do
    target=$(sed -E 's/^#include "([^"]+)".*/\1/' <<<"$line")
    ok=0
    for prefix in ${allowed[$folder]}; do
      [[ $target == "$prefix"/* || $target == "$prefix" ]] && ok=1
    done
    if [[ $ok -eq 0 ]]; then
      echo "$file includes $target, which $folder/ may not use"
      bad=1
    fi
  done < <(grep -rn '^#include "' "$src/$folder" --include='*.h' --include='*.cpp')
done
[[ $bad -eq 0 ]] && echo "layering holds"
exit $bad
