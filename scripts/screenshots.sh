#!/usr/bin/env bash
# Takes screenshots of the main window during a conversion run and of the About
# window under Xvfb with a window manager, into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --extras
[[ -x build/src/tunvask ]] || bash scripts/build.sh
work=$(mktemp -d)
# Half an hour of music at 320 kbps, so that the run is still going when the picture is taken.
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=1800" -ac 2 -ar 44100 "$work/src.wav"
build/src/tvenc "$work/src.wav" "$work/audiobook-part1.mp3" -br 320000 >/dev/null 2>&1
rm "$work/src.wav"
mkdir "$work/out"

display=:97
Xvfb "$display" -screen 0 1024x600x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $wm $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 1
export DISPLAY=$display
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
LANG=C.UTF-8 XDG_CONFIG_HOME="$work" build/src/tunvask >/dev/null 2>&1 &
app=$!
sleep 2
mkdir -p docs
window=$(xdotool search --sync --onlyvisible --name '^Tunvask$' | head -n 1)
xdotool windowactivate --sync "$window"
source tests/shell/drive_program.sh
queue_and_convert "$work/audiobook-part1.mp3" F4 "$work/out"
sleep 4
# Crops a whole-screen shot to a window and the frame the window manager drew.
shoot() {
  local id=$1 file=$2 X Y WIDTH HEIGHT SCREEN extents left right top bottom
  # xdotool reports the client position shifted by the frame extents once more.
  eval "$(xdotool getwindowgeometry --shell "$id")"
  extents=$(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  read -r left right top bottom <<<"${extents:-0 0 0 0}"
  import -window root "$file.full.png"
  convert "$file.full.png" -crop "$((WIDTH + left + right))x$((HEIGHT + top + bottom))+$((X - 2 * left))+$((Y - 2 * top))" \
    +repage "$file"
  rm -f "$file.full.png"
}
shoot "$window" docs/main-window.png
# The run ends with its message; OK closes it.
xdotool search --sync --onlyvisible --name '^Tunvask$' >/dev/null
until [[ $(xdotool search --onlyvisible --name '^Tunvask$' | wc -l) -gt 1 ]]; do sleep 1; done
xdotool key Return; sleep 0.5
xdotool windowactivate --sync "$window"
xdotool key alt+h
sleep 0.5
xdotool key a
sleep 1
about=$(xdotool search --sync --onlyvisible --name '^关于$' | head -n 1)
shoot "$about" docs/about-window.png
echo "docs/main-window.png docs/about-window.png"
