#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, with ASan and UBSan) into build-fuzz/ and runs
# each for a while (default 30 s) from its corpus in tests/fuzz/corpus/<name>. New
# inputs go to a scratch folder; a crash fails the run and leaves its input in build-fuzz/.
# Usage: scripts/fuzz.sh [seconds per harness]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
bash scripts/install-deps.sh --tests --sanitize
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNVASK_FUZZ=ON \
  -DTUNVASK_TESTS=OFF -DTUNVASK_BENCH=OFF >/dev/null
harnesses=(progress_lines_fuzz profile_fuzz id3v1_fuzz mp3_frame_fuzz tags_fuzz text_fuzz output_plan_fuzz
           tvenc_arguments_fuzz info_frame_fuzz decode_fuzz tvenc_fuzz parallel_plan_fuzz file_search_fuzz)
cmake --build build-fuzz -j"$(nproc)" --target "${harnesses[@]}"
export ASAN_OPTIONS=detect_leaks=1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
run_harness() { # name; its output goes to a log of its own
  mkdir "$scratch/$1"
  # An input that runs a minute is a hang: it fails the run then, its input kept as
  # build-fuzz/timeout-*, instead of after libFuzzer's default twenty minutes.
  (cd build-fuzz && "tests/fuzz/$1" -max_total_time="$seconds" -timeout=60 -print_final_stats=1 \
     "$scratch/$1" "../tests/fuzz/corpus/${1%_fuzz}") >"$scratch/$1.log" 2>&1
}
# As many harnesses at once as there are cores, each on one: each still runs its full time.
# A crash (libFuzzer's non-zero exit) fails the script once every harness has run.
cores=$(nproc)
failed=0
for ((i = 0; i < ${#harnesses[@]}; i += cores)); do
  batch=("${harnesses[@]:i:cores}")
  pids=()
  for name in "${batch[@]}"; do
    run_harness "$name" &
    pids+=($!)
  done
  for k in "${!batch[@]}"; do
    wait "${pids[$k]}" || failed=1
    echo "== ${batch[$k]}, ${seconds} s"
    tail -n 8 "$scratch/${batch[$k]}.log"
  done
done
# Damage inside real songs, many more tries than the test suite makes: ten a second asked.
echo "== junk inside songs, $((seconds * 10)) tries"
if [[ -x build/tests/tvenc_tests ]]; then
  seed=$RANDOM
  echo "seed $seed (TUNVASK_JUNK_SEED=$seed repeats it)"
  # Its failures in full, the summary otherwise.
  TUNVASK_JUNK_TRIES=$((seconds * 10)) TUNVASK_JUNK_SEED=$seed build/tests/tvenc_tests --gtest_filter='JunkInSongs.*' |
    grep -E -A4 'Failure|FAILED|PASSED' | head -n 60
else
  echo "skipped: build/tests/tvenc_tests is not built (bash scripts/test.sh builds it)"
fi
exit "$failed"
