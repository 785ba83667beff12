#!/usr/bin/env bash
# How close tvenc can come to ffmpeg on one song at 128 kbps stereo: the CPU time of LAME
# alone (the lame program reading a WAV file, without its ReplayGain analysis: almost
# nothing but encoding) and of decoding alone (mpg123 and ffmpeg to nowhere), beside
# tvenc --threads 1 and ffmpeg -threads 1 on the same 320 kbps MP3, at LAME's quality 3
# for all three encoders. They take turns, five rounds; each keeps its least CPU time. A
# batch that keeps every core busy cannot take less than (LAME + decoding) / ffmpeg of
# the time of ffmpeg's.
# Usage: bench/floor.sh [seconds of audio, default 200]
source "$(dirname "$0")/common.sh"
seconds=${1:-200}
cd "$work"
ffmpeg -v error -f lavfi -i "sine=frequency=330:duration=$seconds" \
  -f lavfi -i "anoisesrc=color=pink:amplitude=0.2:duration=$seconds" \
  -filter_complex "[0][1]amerge=inputs=2,pan=stereo|c0=0.6*c0+0.4*c1|c1=0.3*c0+0.5*c1[a]" -map "[a]" \
  -ar 44100 -c:a libmp3lame -b:a 320k song.mp3
ffmpeg -v error -i song.mp3 -c:a pcm_s16le song.wav

cpu() { # user+system CPU seconds of one run of a command
  /usr/bin/time -f '%U %S' -o cpu.txt "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  awk '{ printf "%.3f", $1 + $2 }' cpu.txt
}
lame_alone="" decode="" ff_decode="" tv="" ff=""
for _ in 1 2 3 4 5; do
  lame_alone=$(least "$lame_alone" "$(cpu lame --quiet --noreplaygain -b 128 -q 3 song.wav lame.mp3)")
  decode=$(least "$decode" "$(cpu mpg123 -q -s song.mp3)")
  ff_decode=$(least "$ff_decode" "$(cpu ffmpeg -v error -threads 1 -i song.mp3 -f null -)")
  tv=$(least "$tv" "$(cpu "$tvenc" song.mp3 tvenc.mp3 -br 128000 --threads 1)")
  ff=$(least "$ff" "$(cpu ffmpeg -v error -y -threads 1 -i song.mp3 -c:a libmp3lame -b:a 128k ffmpeg.mp3)")
done
printf '%-28s %8s %10s\n' "one ${seconds} s song, 128 kbps" "CPU s" "÷ ffmpeg"
for row in "LAME alone (WAV in):$lame_alone" "decoding alone (mpg123):$decode" \
  "decoding alone (ffmpeg):$ff_decode" "tvenc --threads 1:$tv" \
  "ffmpeg -threads 1:$ff"; do
  printf '%-28s %8.3f %10.3f\n' "${row%%:*}" "${row##*:}" "$(echo "${row##*:} / $ff" | bc -l)"
done
printf '%-28s %8.3f %10.3f\n' "LAME + decoding" "$(echo "$lame_alone + $decode" | bc -l)" \
  "$(echo "($lame_alone + $decode) / $ff" | bc -l)"
