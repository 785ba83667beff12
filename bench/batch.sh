#!/usr/bin/env bash
# A batch of songs, as a user with a music folder runs it: tvenc one file after another
# (each on every core, as the program's run does) against the power user's
# `xargs -P<cores> ffmpeg`, and, as this machine's ceiling, <cores> single-core tvenc
# runs at once. Six to eight songs of 3 to 5 minutes at 320 kbps stereo, at 128 and
# 64 kbps; several alternating rounds, least wall time of each.
# With TVENC_BEFORE naming another build's tvenc, that one runs the same batch one
# after another too, in the same rounds, and the last column is today's ÷ it.
# Usage: [TVENC_BEFORE=path] bench/batch.sh [rounds, default 3]
source "$(dirname "$0")/common.sh"
rounds=${1:-3}
cores=$(nproc)
songs=()
for i in 1 2 3 4 5 6 7; do
  seconds=$((180 + (i * 37) % 120))
  ffmpeg -v error -f lavfi -i "sine=frequency=$((200 + i * 60)):duration=$seconds" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.2:duration=$seconds:seed=$i" \
    -filter_complex "[0][1]amerge=inputs=2,pan=stereo|c0=0.6*c0+0.4*c1|c1=0.3*c0+0.5*c1[a]" -map "[a]" \
    -ar 44100 -c:a libmp3lame -b:a 320k "$work/song$i.mp3"
  songs+=("$work/song$i.mp3")
done
mkdir -p "$work/out"
wall() { # wall seconds of one command
  local start end
  start=$(date +%s.%N); "$@" >/dev/null 2>&1; end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
sequential() { for s in "${songs[@]}"; do "${2:-$tvenc}" "$s" "$work/out/$(basename "$s")" -br "$1"; done; }
ffmpeg_all() {
  printf '%s\n' "${songs[@]}" | xargs -P"$cores" -I{} sh -c \
    'ffmpeg -v error -y -i "$1" -c:a libmp3lame -b:a "$2" "$3/ff-$(basename "$1")"' _ {} "$1" "$work/out"
}
single_core_all() {
  printf '%s\n' "${songs[@]}" | xargs -P"$cores" -I{} sh -c \
    '"$0" "$1" "$3/one-$(basename "$1")" -br "$2" --threads 1' "$tvenc" {} "$1" "$work/out"
}
printf 'cores: %s, songs: %s, rounds: %s\n' "$cores" "${#songs[@]}" "$rounds"
before=${TVENC_BEFORE:-}
printf '%5s %12s %12s %14s %16s %18s' kbps tvenc_seq ffmpeg_-P single_core_-P tvenc/ffmpeg tvenc/single_core
[[ -n "$before" ]] && printf ' %12s %14s' before_seq tvenc/before
printf '\n'
for kbps in 128 64; do
  t=""; f=""; c=""; b=""
  for _ in $(seq "$rounds"); do
    t=$(least "$t" "$(wall sequential "${kbps}000")")
    [[ -n "$before" ]] && b=$(least "$b" "$(wall sequential "${kbps}000" "$before")")
    f=$(least "$f" "$(wall ffmpeg_all "${kbps}k")")
    c=$(least "$c" "$(wall single_core_all "${kbps}000")")
  done
  printf '%5s %12.2f %12.2f %14.2f %16.3f %18.3f' "$kbps" "$t" "$f" "$c" "$(echo "$t / $f" | bc -l)" \
    "$(echo "$t / $c" | bc -l)"
  [[ -n "$before" ]] && printf ' %12.2f %14.3f' "$b" "$(echo "$t / $b" | bc -l)"
  printf '\n'
done
