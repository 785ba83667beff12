#!/usr/bin/env bash
# Configures and builds into build/ (Release with debug info). Arguments before "--"
# go to cmake's configure step; targets after it are built instead of everything.
set -euo pipefail
cd "$(dirname "$0")/.."
configure=()
while [[ $# -gt 0 && "$1" != "--" ]]; do configure+=("$1"); shift; done
[[ "${1:-}" == "--" ]] && shift
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${configure[@]}" >/dev/null
cmake --build build -j"$(nproc)" "${targets[@]}"
