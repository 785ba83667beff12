#!/usr/bin/env bash
# CPU time of tvenc against `lame --mp3input` and ffmpeg's libmp3lame, side by side in
# one run, on the same inputs, bit rates, channel counts, output sample rates and LAME
# quality (3), all three on one core (tvenc --threads 1; bench/parallel.sh measures all
# cores). The three commands take turns, three rounds, and each keeps its least CPU time,
# so that a slower moment of the machine hits all of them alike. Prints CPU seconds and
# the ratios tvenc/lame and tvenc/ffmpeg.
# Usage: bench/encoders.sh [seconds of audio, default 240]
source "$(dirname "$0")/common.sh"
seconds=${1:-240}
cd "$work"

# Music-like material: two tones over pink noise, different in each channel.
ffmpeg -v error -f lavfi -i "sine=frequency=220:duration=$seconds" \
  -f lavfi -i "anoisesrc=color=pink:amplitude=0.2:duration=$seconds" \
  -f lavfi -i "sine=frequency=1330:duration=$seconds" \
  -filter_complex "[0][1][2]amerge=inputs=3,pan=stereo|c0=0.5*c0+0.4*c1|c1=0.4*c1+0.5*c2[a]" \
  -map "[a]" -ar 44100 -c:a pcm_s16le src.wav
ffmpeg -v error -i src.wav -c:a libmp3lame -b:a 320k src320.mp3
ffmpeg -v error -i src.wav -c:a libmp3lame -b:a 128k -joint_stereo 1 src128.mp3

cpu() { # prints the user+system CPU seconds of one run of a command
  /usr/bin/time -f '%U %S' -o cpu.txt "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; echo 999; return; }
  awk '{ printf "%.2f", $1 + $2 }' cpu.txt
}
# The output rate LAME picks for 44.1 kHz input (tvenc keeps LAME's choice).
out_rate() {
  case "$1:$2" in
    128:*|112:*) echo 44100 ;; 96:2) echo 32000 ;; 96:1) echo 44100 ;;
    64:2) echo 24000 ;; 64:1) echo 44100 ;; 32:2) echo 16000 ;; 32:1) echo 22050 ;;
    16:2) echo 8000 ;; 16:1) echo 16000 ;;
  esac
}

printf '%-11s %5s %4s %7s %7s %7s %11s %12s\n' input kbps ch tvenc lame ffmpeg tvenc/lame tvenc/ffmpeg
for input in src320.mp3 src128.mp3 src.wav; do
  for kbps in 128 64 16; do
    for ch in 2 1; do
      rate=$(out_rate "$kbps" "$ch")
      dm=(); lame_mode=(); [[ $ch == 1 ]] && dm=(-dm) && lame_mode=(-m m)
      lame_in=(); [[ $input == *.mp3 ]] && lame_in=(--mp3input)
      t=""; l=""; f=""
      for _ in 1 2 3; do
        t=$(least "$t" "$(cpu "$tvenc" "$input" t.mp3 -br "${kbps}000" "${dm[@]}" --threads 1)")
        l=$(least "$l" "$(cpu lame --quiet "${lame_in[@]}" -q 3 -b "$kbps" "${lame_mode[@]}" --resample "$rate" "$input" l.mp3)")
        f=$(least "$f" "$(cpu ffmpeg -v error -y -i "$input" -c:a libmp3lame -b:a "${kbps}k" -ac "$ch" -ar "$rate" \
            -compression_level 3 f.mp3)")
      done
      printf '%-11s %5s %4s %7s %7s %7s %11.2f %12.2f\n' "$input" "$kbps" "$ch" "$t" "$l" "$f" \
        "$(echo "$t / $l" | bc -l)" "$(echo "$t / $f" | bc -l)"
    done
  done
done
