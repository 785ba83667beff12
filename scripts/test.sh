#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test (headless).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
# CI takes any compiler warning for an error.
werror=OFF
[[ "${CI:-}" == true ]] && werror=ON
bash scripts/build.sh -DTUNVASK_TESTS=ON -DTUNVASK_BENCH=ON -DTUNVASK_WERROR=$werror
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 300
