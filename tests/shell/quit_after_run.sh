#!/usr/bin/env bash
# The real program under an X server and window manager: closing the window ends
# the process at once when no run is going, and during a run only once the row
# being converted is finished, with its output complete and its own staged encoder
# gone. Exits 77 (skipped) where Xvfb, openbox, xdotool or ffmpeg is missing.
set -uo pipefail
source "$(dirname "$0")/drive_program.sh"
program=$1 tvenc=$2
need_tools Xvfb openbox xdotool xdpyinfo xprop ffmpeg
start_session

start_program
xdotool key alt+F4
within 10 ended || { echo "the program did not end when its window was closed"; exit 1; }

# Ten minutes of audio at 320 kbps take a few seconds to re-encode at 32 kbps.
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=600" -ac 2 -ar 44100 "$work/src.wav"
"$tvenc" "$work/src.wav" "$work/long.mp3" -br 320000 >/dev/null 2>&1
mkdir "$work/out"
start_program
queue_and_convert "$work/long.mp3" F5 "$work/out"
within 60 row_in_progress "$work/out" || { echo "no row started"; exit 1; }
staged=$(compgen -G "$XDG_RUNTIME_DIR/tunvask-encoder-*")
[[ -n $staged ]] || { echo "the run staged no encoder"; exit 1; }
xdotool key alt+F4
# Had the program ended at once, the encoder would have gone with it and left no output.
within 120 ended || { echo "the program did not end after the row"; exit 1; }
[[ -s "$work/out/long.mp3" ]] || { echo "the row's output is missing"; exit 1; }
row_in_progress "$work/out" && { echo "a temporary output was left behind"; exit 1; }
[[ ! -e $staged ]] || { echo "the staged encoder was left behind"; exit 1; }
echo "ended at once when idle; after the row during a run"
