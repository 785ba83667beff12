#!/usr/bin/env bash
# What a batch would take on a desktop of N cores, projected from what this machine
# measures, tvenc beside `xargs -PN ffmpeg`. The program converts one file after another,
# each on every core, so a song takes as long as its busiest worker thread plus the parts
# that run alone (start, joining, the Info frame). tvenc --report-cpu gives the CPU time of
# each thread; --workers-in-turn runs the N workers one after another, the last first, so
# that each has a core to itself as on the desktop and finds the next worker's head ready,
# as it would there (with N threads sharing two cores, each would lose time to the others
# in the caches). ffmpeg -threads 1 converts a file on one core, N files at once: its batch
# takes its summed CPU time ÷ N, a perfect split that a real shell loop only approaches.
# tvenc's CPU is measured with the thread's own clock (CLOCK_THREAD_CPUTIME_ID).
# Inputs: five songs of 3 to 5 minutes and one 40-minute file, 320 kbps stereo, converted
# at 128 and 64 kbps; least CPU of the alternating rounds for every figure, tvenc's thread
# by thread.
# With TVENC_BEFORE naming another build's tvenc, that one's workers are timed too, in the
# same rounds, and the last column is today's projected wall time / its.
# Usage: [TVENC_BEFORE=path] bench/many_cores.sh [rounds, default 2]
source "$(dirname "$0")/common.sh"
rounds=${1:-2}
cores_list=(2 4 8 16 32)
make_input() { # seconds, seed, file
  ffmpeg -v error -f lavfi -i "sine=frequency=$((200 + $2 * 60)):duration=$1" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.2:duration=$1:seed=$2" \
    -filter_complex "[0][1]amerge=inputs=2,pan=stereo|c0=0.6*c0+0.4*c1|c1=0.3*c0+0.5*c1[a]" -map "[a]" \
    -ar 44100 -c:a libmp3lame -b:a 320k "$3"
}
songs=()
for i in 1 2 3 4 5; do
  make_input $((180 + (i * 29) % 120)) "$i" "$work/song$i.mp3"
  songs+=("$work/song$i.mp3")
done
make_input 2400 9 "$work/long.mp3"

cpu() { # user+system CPU seconds of one run
  /usr/bin/time -f '%U %S' -o "$work/cpu" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  awk '{ printf "%.4f", $1 + $2 }' "$work/cpu"
}
# Of one tvenc run on N threads: "<total CPU> <serial> <each worker's encoding> | <each
# stretch's packing>"; one core gives "<total CPU> <total CPU> |".
threads_run() { # file, bits per second, threads[, tvenc]
  /usr/bin/time -f '%U %S' -o "$work/cpu" "${4:-$tvenc}" "$1" "$work/t.mp3" -br "$2" --threads "$3" --report-cpu \
    --workers-in-turn \
    2>"$work/err" >/dev/null || { echo "failed: tvenc $1 --threads $3" >&2; exit 1; }
  local total
  total=$(awk '{ printf "%.4f", $1 + $2 }' "$work/cpu")
  tr '\r' '\n' <"$work/err" | awk -v total="$total" '/^tvenc: cpu seconds serial/ {
      line = total " " $5; for (i = 7; i <= NF; ++i) line = line " " ($i == "packing" ? "|" : $i)
      print line; found = 1 }
    END { if (!found) print total, total, "|" }'
}
# Two such lines taken figure by figure, the least of each: every worker encodes the same
# frames in every round, so its least is its time without what the host took from it, and
# the busiest worker is then the one with the most work, not the one the host disturbed.
least_threads() {
  [[ -z $1 ]] && { echo "$2"; return; }
  awk -v a="$1" -v b="$2" 'BEGIN { n = split(a, x, " "); split(b, y, " "); line = ""
    for (i = 1; i <= n; ++i) line = line (i > 1 ? " " : "") (x[i] == "|" ? "|" : (x[i] < y[i] ? x[i] : y[i]))
    print line }'
}
# "<projected wall> <total CPU> <workers>" of such a line: the serial part plus the
# busiest worker's encoding plus the longest of the stretches packed after it (the
# workers pack them at once, each its own).
projected() {
  awk -v a="$1" 'BEGIN { n = split(a, x, " "); most = 0; packing = 0; workers = 0; i = 3
    for (; i <= n && x[i] != "|"; ++i) { ++workers; if (x[i] > most) most = x[i] }
    for (++i; i <= n; ++i) if (x[i] > packing) packing = x[i]
    printf "%.4f %s %d\n", x[2] + most + packing, x[1], (workers ? workers : 1) }'
}

before=${TVENC_BEFORE:-}
declare -A one ff run was
for kbps in 128 64; do
  for _ in $(seq "$rounds"); do
    for f in "${songs[@]}" "$work/long.mp3"; do
      one[$kbps,$f]=$(least "${one[$kbps,$f]:-}" "$(cpu "$tvenc" "$f" "$work/t.mp3" -br "${kbps}000" --threads 1)")
      ff[$kbps,$f]=$(least "${ff[$kbps,$f]:-}" \
        "$(cpu ffmpeg -v error -y -threads 1 -i "$f" -c:a libmp3lame -b:a "${kbps}k" "$work/f.mp3")")
      for n in "${cores_list[@]}"; do
        run[$kbps,$f,$n]=$(least_threads "${run[$kbps,$f,$n]:-}" "$(threads_run "$f" "${kbps}000" "$n")")
        [[ -z $before ]] || was[$kbps,$f,$n]=$(least_threads "${was[$kbps,$f,$n]:-}" \
          "$(threads_run "$f" "${kbps}000" "$n" "$before")")
      done
    done
  done
done

report() { # title, kbps, files...
  local title=$1 kbps=$2
  shift 2
  printf '\n%s at %s kbps (this machine: %s cores)\n' "$title" "$kbps" "$(nproc)"
  printf '%5s %9s %16s %14s %15s %16s%s\n' cores workers cpu/one-core tvenc_wall_s ffmpeg_wall_s tvenc/ffmpeg \
    "${before:+   today/before}"
  for n in "${cores_list[@]}"; do
    local wall=0 cpu_n=0 cpu_1=0 cpu_ff=0 workers="" wall_was=0
    for f in "$@"; do
      read -r w c k <<<"$(projected "${run[$kbps,$f,$n]}")"
      wall=$(echo "$wall + $w" | bc -l); cpu_n=$(echo "$cpu_n + $c" | bc -l)
      cpu_1=$(echo "$cpu_1 + ${one[$kbps,$f]}" | bc -l); cpu_ff=$(echo "$cpu_ff + ${ff[$kbps,$f]}" | bc -l)
      workers="$workers${workers:+,}$k"
      if [[ -n $before ]]; then
        read -r w _ _ <<<"$(projected "${was[$kbps,$f,$n]}")"
        wall_was=$(echo "$wall_was + $w" | bc -l)
      fi
    done
    printf '%5s %9s %16.3f %14.3f %15.3f %16.3f' "$n" "$workers" "$(echo "$cpu_n / $cpu_1" | bc -l)" "$wall" \
      "$(echo "$cpu_ff / $n" | bc -l)" "$(echo "$wall / ($cpu_ff / $n)" | bc -l)"
    [[ -z $before ]] || printf ' %15.3f' "$(echo "$wall / $wall_was" | bc -l)"
    printf '\n'
  done
}
for kbps in 128 64; do
  report "five songs of 3-5 minutes" "$kbps" "${songs[@]}"
  report "one 40-minute file" "$kbps" "$work/long.mp3"
done
