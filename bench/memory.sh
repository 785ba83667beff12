#!/usr/bin/env bash
# Peak memory (maximum resident set) of tvenc on a long input: one hour by default.
# Usage: bench/memory.sh [minutes]
source "$(dirname "$0")/common.sh"
minutes=${1:-60}
ffmpeg -v error -f lavfi -i "anoisesrc=color=pink:amplitude=0.3:duration=$((minutes * 60))" -ac 2 -ar 44100 \
  -c:a libmp3lame -b:a 320k "$work/long.mp3"
for args in "-br 128000" "-br 64000" "-br 16000 -dm on"; do
  # shellcheck disable=SC2086
  /usr/bin/time -f "%M" -o "$work/rss" "$tvenc" "$work/long.mp3" "$work/out.mp3" $args >/dev/null 2>&1
  printf '%d-minute 320 kbps input, %-16s peak RSS %6.1f MiB\n' "$minutes" "$args" "$(echo "$(cat "$work/rss") / 1024" | bc -l)"
done
