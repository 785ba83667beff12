#!/usr/bin/env bash
# tvenc on every core against tvenc --threads 1, side by side in one run: wall-time and
# CPU-time ratios on a four-minute and a forty-minute 320 kbps stereo MP3 at 128 and 64 kbps
# (least of three alternating runs each).
source "$(dirname "$0")/common.sh"
for minutes in 4 40; do
  ffmpeg -v error -f lavfi -i "sine=frequency=330:duration=$((minutes * 60))" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.2:duration=$((minutes * 60))" \
    -filter_complex "[0][1]amerge=inputs=2,pan=stereo|c0=0.6*c0+0.4*c1|c1=0.3*c0+0.5*c1[a]" -map "[a]" \
    -ar 44100 -c:a libmp3lame -b:a 320k "$work/in$minutes.mp3"
done
measure() { # prints wall and CPU seconds of one run
  /usr/bin/time -f '%e %U %S' -o "$work/t" "$@" >/dev/null 2>&1
  awk '{ print $1, $2 + $3 }' "$work/t"
}
printf 'cores: %s\n%-8s %5s %9s %9s %9s %9s %10s %10s\n' "$(nproc)" input kbps wall_1 cpu_1 wall_all cpu_all wall_ratio cpu_ratio
for minutes in 4 40; do
  for kbps in 128 64; do
    w1=""; c1=""; wn=""; cn=""
    # The two take turns, three rounds; each keeps its least times.
    for _ in 1 2 3; do
      read -r w c < <(measure "$tvenc" "$work/in$minutes.mp3" "$work/one.mp3" -br "${kbps}000" --threads 1)
      w1=$(least "$w1" "$w"); c1=$(least "$c1" "$c")
      read -r w c < <(measure "$tvenc" "$work/in$minutes.mp3" "$work/all.mp3" -br "${kbps}000")
      wn=$(least "$wn" "$w"); cn=$(least "$cn" "$c")
    done
    printf '%-8s %5s %9.2f %9.2f %9.2f %9.2f %10.2f %10.2f\n' "${minutes}min" "$kbps" "$w1" "$c1" "$wn" "$cn" \
      "$(echo "$wn / $w1" | bc -l)" "$(echo "$cn / $c1" | bc -l)"
  done
done
