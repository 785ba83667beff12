#!/usr/bin/env bash
# What a screen reader hears of the real program, read through AT-SPI on a session bus of
# the test's own: after a pick of bit rate and channel and a run with a failed row, every
# control still has its Chinese name (the boxes keep theirs, what they show is their value),
# and the failed row's cell tells why in Chinese. Exits 77 (skipped) where Xvfb, openbox,
# xdotool, ffmpeg, the AT-SPI bus or pyatspi is missing.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1 tvenc=$2
if [[ -z ${TUNVASK_PRIVATE_BUS:-} ]]; then
  command -v dbus-run-session >/dev/null || { echo "skipped: dbus-run-session not installed"; exit 77; }
  TUNVASK_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
source "$here/drive_program.sh"
need_tools Xvfb openbox xdotool xdpyinfo xprop ffmpeg
[[ -x /usr/libexec/at-spi-bus-launcher ]] || { echo "skipped: at-spi2-core not installed"; exit 77; }
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi not installed"; exit 77; }
start_session
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus=$!
trap 'kill $bus 2>/dev/null; kill -9 $app 2>/dev/null; kill $wm $xvfb 2>/dev/null; rm -rf "$work"' EXIT
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
fail() { echo "$1"; exit 1; }

ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=3" -ac 2 -ar 44100 "$work/src.wav"
"$tvenc" "$work/src.wav" "$work/song.mp3" -br 128000 >/dev/null 2>&1
: >"$work/empty.mp3"
mkdir "$work/out"
start_program
answer_dialog ctrl+n "$work/song.mp3"
answer_dialog ctrl+n "$work/empty.mp3"
xdotool key F8
queue_and_convert "$work/song.mp3" F4 "$work/out/"
# The run ends with its message; the window is read while it is shown.
run_ended() { compgen -G "$work/out/song*.mp3" >/dev/null && focused_is_dialog; }
within 60 run_ended || fail "the run did not end"
read_tree() { /usr/bin/python3 "$here/read_accessibility.py" >"$work/tree" 2>"$work/tree.err"; }
within 30 read_tree || { cat "$work/tree.err"; echo "skipped: the program never appeared on the AT-SPI bus"; exit 77; }

has() { grep -qF -- "$1" "$work/tree" || { cat "$work/tree"; fail "not heard: $1"; }; }
# Each box by its name; what it shows is the text inside it.
has "combo box|比特率|"
has "text||磁带品质(64Kbps)|"
has "combo box|声道|"
has "text||单身道|"
has "table|文件列表|"
has "progress bar|转换进度|"
has "label|完成百分比||100%"
has "push button|输出路径|"
grep -q '|源文件是空的（0 字节），请重新获取这个文件。\\ntvenc: ' "$work/tree" || { cat "$work/tree"; fail "the failed row's reason is not heard"; }
xdotool key Return
within 30 only_main_shown || fail "the closing message stayed"
xdotool key alt+F4
within 30 ended || fail "the program did not end"
echo "every control has its name after picks and a run, and a failed row says why"
