#!/usr/bin/env bash
# Takes screenshots of the main window and the About window under Xvfb with a
# window manager, into docs/. Needs a built program (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
need=()
for p in xvfb openbox xdotool imagemagick x11-apps x11-utils; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [[ ${#need[@]} -gt 0 ]]; then
  sudo_cmd=(); [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
[[ -x build/src/tunvask ]] || bash scripts/build.sh

display=:97
Xvfb "$display" -screen 0 1024x600x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $wm $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=$display
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
LANG=C.UTF-8 build/src/tunvask >/dev/null 2>&1 &
app=$!
sleep 2
mkdir -p docs
window=$(xdotool search --sync --onlyvisible --name '^Tunvask$' | head -n 1)
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
xdotool windowactivate --sync "$window"
xdotool key alt+h
sleep 0.5
xdotool key a
sleep 1
about=$(xdotool search --sync --onlyvisible --name '^关于$' | head -n 1)
shoot "$about" docs/about-window.png
echo "docs/main-window.png docs/about-window.png"
