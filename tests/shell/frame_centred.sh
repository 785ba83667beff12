#!/usr/bin/env bash
# Under a real X server with a window manager, the main window's outer frame (title
# bar included) stands where the layout centres it: ((screen - 515) / 2, (screen - 179) / 2).
# Exits 77 (skipped) where Xvfb, openbox, xdotool or xprop is missing.
set -uo pipefail
program=$1
for tool in Xvfb openbox xdotool xprop xwininfo; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done
display=:$((90 + RANDOM % 400))
work=$(mktemp -d)
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $wm $xvfb 2>/dev/null; rm -rf "$work"' EXIT
app=; wm=
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done 2>/dev/null
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
env -u QT_QPA_PLATFORM HOME="$work" XDG_CONFIG_HOME="$work" "$program" >/dev/null 2>&1 &
app=$!
window=$(xdotool search --sync --onlyvisible --name '^Tunvask$' | head -n 1)
sleep 1.5
read -r left right top bottom <<<"$(xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
x=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ { print $4 }')
y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ { print $4 }')
frame_x=$((x - ${left:-0})); frame_y=$((y - ${top:-0}))
expected_x=$(((1024 - 515) / 2)); expected_y=$(((768 - 179) / 2))
echo "frame at $frame_x,$frame_y (extents $left $right $top $bottom); expected $expected_x,$expected_y"
[[ ${top:-0} -gt 0 ]] || { echo "the window manager drew no frame"; exit 1; }
[[ $frame_x -eq $expected_x && $frame_y -eq $expected_y ]]
