#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test (headless).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
bash scripts/build.sh -DTUNVASK_TESTS=ON -DTUNVASK_BENCH=ON
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 300
