#!/usr/bin/env bash
# Under a real X server with a window manager, the main window's outer frame (title
# bar included) stands where the layout centres it when first shown:
# ((screen - 515) / 2, (screen - 179) / 2). After that it stays where the user puts
# it, minimised and restored included. Exits 77 (skipped) where a tool is missing.
set -uo pipefail
source "$(dirname "$0")/drive_program.sh"
program=$1
need_tools Xvfb openbox xdotool xprop xwininfo xdpyinfo
start_session
start_program

frame_position() {
  local left top x y
  read -r left _ top _ <<<"$(xprop -id "$window" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | sed 's/,//g')"
  x=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ { print $4 }')
  y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ { print $4 }')
  echo "$((x - ${left:-0})),$((y - ${top:-0})) ${top:-0}"
}
frame_at() { [[ $(frame_position) == "$1 "* ]]; }

centre="$(((1024 - 515) / 2)),$(((768 - 179) / 2))"
within 30 eval '[[ $(frame_position) != *" 0" ]]' || { echo "the window manager drew no frame"; exit 1; }
within 30 frame_at "$centre" || { echo "frame at $(frame_position); expected $centre"; exit 1; }

# The user moves it, minimises it and brings it back: it stays where they put it.
timeout 30 xdotool windowmove --sync "$window" 40 50
within 30 eval '! frame_at "$centre"' || { echo "the window could not be moved"; exit 1; }
moved=$(frame_position)
timeout 30 xdotool windowminimize --sync "$window"
activate_main || { echo "the window did not come back"; exit 1; }
# Whatever would put it back does so within a second of the show: watch for two.
for _ in $(seq 20); do
  [[ $(frame_position) == "$moved" ]] || { echo "moved to $(frame_position) after a restore; the user left it at $moved"; exit 1; }
  sleep 0.1
done
echo "centred at $centre when first shown; stayed at $moved after a restore"
