#!/usr/bin/env bash
# Includes never run back up the layers: each folder of src/ includes only from
# itself and the folders below it. Prints every include that breaks the rule. Each
# folder is checked for its own files; a sub-folder has a line of its own.
set -uo pipefail
src=${1:-$(dirname "$0")/../src}
declare -A allowed=(
  [shared]="shared"
  [primitives]="primitives shared"
  # tvenc's rooms, each using only those above it in this list
  [encoder/base]="encoder/base shared"
  [encoder/mp3]="encoder/mp3 encoder/base shared"
  [encoder/decode]="encoder/decode encoder/mp3 encoder/base shared"
  [encoder/joins]="encoder/joins encoder/mp3 encoder/base shared"
  [encoder/parallel]="encoder/parallel encoder/joins encoder/decode encoder/mp3 encoder/base shared"
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
  done < <(grep -Hn '^#include "' "$src/$folder"/*.h "$src/$folder"/*.cpp 2>/dev/null)
done
# A folder without a line would go unchecked.
while IFS= read -r dir; do
  if [[ ! -v allowed[${dir#"$src"/}] ]]; then
    echo "${dir#"$src"/}/ has no line in this check"
    bad=1
  fi
done < <(find "$src" -mindepth 1 -type d)
[[ $bad -eq 0 ]] && echo "layering holds"
exit $bad
