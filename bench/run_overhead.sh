#!/usr/bin/env bash
# What the program's conversion run adds to the encoder's own time: the same batch
# converted once through the run (headless) and once by calling the encoder directly
# in a shell loop, side by side in one run. Prints both wall times and their ratio.
# Usage: bench/run_overhead.sh [files, default 8] [seconds each, default 240]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --extras
bash scripts/build.sh >/dev/null
root=$PWD
files=${1:-8}
seconds=${2:-240}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/run" "$work/loop"
for i in $(seq 1 "$files"); do
  ffmpeg -v error -f lavfi -i "sine=frequency=$((200 + 40 * i)):duration=$seconds" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.2:duration=$seconds:seed=$i" \
    -filter_complex "[0][1]amerge=inputs=2[a]" -map "[a]" -ar 44100 -c:a libmp3lame -b:a 192k "$work/in/track$i.mp3"
done
encoder=$work/60718243.exe
cp "$root/build/src/tvenc" "$encoder"

run_time=$("$root/build/bench/run_bench" "$work/run" 3 "$work"/in/*.mp3 2>/dev/null)
start=$(date +%s.%N)
for f in "$work"/in/*.mp3; do
  "$encoder" "$f" "$work/loop/$(basename "$f")" -br 64000 >/dev/null 2>&1
done
loop_time=$(echo "$(date +%s.%N) - $start" | bc -l)
printf 'files %d x %d s, 64 kbps\nthrough the run: %.2f s\nshell loop:      %.2f s\nratio:           %.3f\n' \
  "$files" "$seconds" "$run_time" "$loop_time" "$(echo "$run_time / $loop_time" | bc -l)"
