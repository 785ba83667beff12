#!/usr/bin/env bash
# Installs what is missing, builds the program only (no tests, no benchmarks), and starts Tunvask.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh -DTUNVASK_TESTS=OFF -DTUNVASK_BENCH=OFF -DTUNVASK_HELP=ON -- tunvask help_file
exec build/src/tunvask
