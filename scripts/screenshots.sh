#!/usr/bin/env bash
# Takes screenshots under Xvfb with a window manager, into docs/: the main window during a
# run over a small music library (main-window.png), the About window (about-window.png)
# and the help in xchm (help-in-xchm.png). As root the library lies in /home/xiaoming, on a
# tmpfs mounted over /home in a mount namespace of the script's own: nothing of the
# machine's /home is touched, and the paths are the ones a user would see.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ $(id -u) -eq 0 && -z ${TUNVASK_SHOTS_NAMESPACE:-} ]] && command -v unshare >/dev/null; then
  export TUNVASK_SHOTS_NAMESPACE=1
  exec unshare -m bash -c 'mount --make-rprivate / && mount -t tmpfs tmpfs /home && exec bash "$0"' "$0"
fi
bash scripts/install-deps.sh --extras
[[ -x build/src/tunvask && -f build/src/explain.chm ]] || bash scripts/build.sh -- tunvask help_file
work=$(mktemp -d)
home=${TUNVASK_SHOTS_NAMESPACE:+/home/xiaoming}
home=${home:-$work/xiaoming}
# Folders typed into the dialogs, so in letters xdotool can type; the files are Chinese.
library="$home/Music/Four Seasons" phone="$home/Music/Phone"
mkdir -p "$library" "$phone"
# An ID3v1 tag: title, artist and album in GBK, as Windows programs wrote them.
id3v1() {
  local field
  printf 'TAG'
  for field in "$1" "$2" "$3"; do
    printf '%s' "$field" | iconv -f UTF-8 -t GBK | head -c 30
    head -c $((30 - $(printf '%s' "$field" | iconv -f UTF-8 -t GBK | wc -c))) /dev/zero
  done
  head -c 35 /dev/zero
  printf '\377'
}
# Four songs of ten to twelve minutes at 320 kbps, long enough that the run is still
# going when the picture is taken.
titles=(春之歌 夏夜 秋雨 冬雪)
for i in 0 1 2 3; do
  ffmpeg -v error -y -f lavfi -i "sine=frequency=$((330 + i * 55)):duration=$((600 + i * 40))" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.1:duration=$((600 + i * 40)):seed=$i" \
    -filter_complex "[0][1]amerge=inputs=2,pan=stereo|c0=0.6*c0+0.4*c1|c1=0.4*c0+0.6*c1[a]" -map "[a]" \
    -ar 44100 "$work/song.wav"
  file="$library/0$((i + 1)) ${titles[$i]}.mp3"
  build/src/tvenc "$work/song.wav" "$file" -br 320000 >/dev/null 2>&1
  id3v1 "${titles[$i]}" "林小明" "四季" >>"$file"
done
rm "$work/song.wav"

program=$PWD/build/src/tunvask
source tests/shell/drive_program.sh
export HOME=$home XDG_CONFIG_HOME=$work/config LANG=C.UTF-8
start_desktop
trap 'kill $app $wm $xvfb 2>/dev/null || true; pkill xchm 2>/dev/null || true; rm -rf "$work"' EXIT
start_program
answer_dialog ctrl+m "$library"
xdotool key F4
answer_dialog F10 "$phone"
open_menu alt+v || { echo "the 转换 menu did not open"; exit 1; }
xdotool key f
# The first song done, the second on its way.
second_started() { compgen -G "$phone/*.mp3" >/dev/null; }
within 120 second_started || { echo "the run did not get going"; exit 1; }
mkdir -p docs
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
run_ended() { [[ $(find "$phone" -name '*.mp3' | wc -l) -eq 4 ]] && focused_is_dialog; }
within 600 run_ended || { echo "the run did not end"; exit 1; }
xdotool key Return
within 30 only_main_shown || { echo "the closing message stayed"; exit 1; }
# The 帮助 menu by its keys, once the main window has the focus back.
help_item() {
  xdotool windowactivate --sync "$window"
  sleep 0.5
  xdotool key alt+h
  sleep 0.5
  xdotool key "$1"
}
help_item a
about=$(xdotool search --sync --onlyvisible --name '^关于$' | head -n 1)
sleep 1
shoot "$about" docs/about-window.png
xdotool key Escape
within 30 only_main_shown || { echo "About stayed"; exit 1; }
help_item p
viewer=$(xdotool search --sync --onlyvisible --class xchm | head -n 1)
sleep 3
shoot "$viewer" docs/help-in-xchm.png
echo "docs/main-window.png docs/about-window.png docs/help-in-xchm.png"
