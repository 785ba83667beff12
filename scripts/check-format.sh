#!/usr/bin/env bash
# Fails, naming them, when sources are not formatted as .clang-format says.
# Format them with: cmake --build build --target format
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --format
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'tools/*.cpp' 'bench/*.cpp')
clang-format --dry-run --Werror "${files[@]}"
echo "${#files[@]} sources formatted"
