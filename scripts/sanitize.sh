#!/usr/bin/env bash
# Builds everything with clang's AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs the whole test suite there. Any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests --sanitize
CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNVASK_SANITIZE=ON \
  -DTUNVASK_TESTS=ON -DTUNVASK_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Libraries we do not build keep some memory until exit on purpose.
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
cd build-asan
ctest --output-on-failure -j"$(nproc)" --timeout 600
