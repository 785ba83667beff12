#!/usr/bin/env bash
# The real program under an X server and window manager: closing the window ends
# the process at once when no run is going, and during a run only once the row
# being converted is finished, with its output complete and the staged encoder gone.
# Exits 77 (skipped) where Xvfb, openbox, xdotool or ffmpeg is missing.
set -uo pipefail
source "$(dirname "$0")/drive_program.sh"
program=$1 tvenc=$2
for tool in Xvfb openbox xdotool xdpyinfo ffmpeg; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done
work=$(mktemp -d)
display=:$((500 + RANDOM % 400))
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
app=; wm=
trap 'kill $app $wm $xvfb 2>/dev/null; rm -rf "$work"' EXIT
export DISPLAY=$display XDG_RUNTIME_DIR=$work/runtime HOME=$work XDG_CONFIG_HOME=$work/config
mkdir -m 700 "$XDG_RUNTIME_DIR"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
start_program() {
  env -u QT_QPA_PLATFORM "$program" >/dev/null 2>&1 &
  app=$!
  window=$(xdotool search --sync --onlyvisible --name '^Tunvask$' | head -n 1)
  sleep 0.5
  xdotool windowactivate --sync "$window"
}
ended_within() { # seconds: true when the program has ended by then
  for _ in $(seq $(($1 * 10))); do kill -0 "$app" 2>/dev/null || return 0; sleep 0.1; done
  return 1
}

start_program
xdotool key alt+F4
ended_within 5 || { echo "the program did not end when its window was closed"; exit 1; }

# Ten minutes of audio at 320 kbps take a few seconds to re-encode at 32 kbps on one core.
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=600" -ac 2 -ar 44100 "$work/src.wav"
"$tvenc" "$work/src.wav" "$work/long.mp3" -br 320000 >/dev/null 2>&1
mkdir "$work/out"
start_program
queue_and_convert "$work/long.mp3" F5 "$work/out"
sleep 1
[[ -n "$(ls "$XDG_RUNTIME_DIR")" ]] || { echo "no run started"; exit 1; }
xdotool key alt+F4
sleep 0.5
kill -0 "$app" 2>/dev/null || { echo "the program ended while a row was being converted"; exit 1; }
ended_within 120 || { echo "the program did not end after the row"; exit 1; }
[[ -s "$work/out/long.mp3" ]] || { echo "the row's output is missing"; exit 1; }
[[ -z "$(ls -A "$XDG_RUNTIME_DIR")" ]] || { echo "the staged encoder was left behind"; exit 1; }
echo "ended at once when idle; after the row during a run"
