# Sourced by scripts that drive the real program under X with xdotool, as a user would.

# Queues one file through 添加项目, picks a bit rate by its key (F1 to F6), chooses the
# output folder through 输出路径 and starts the run from the 转换 menu.
queue_and_convert() {
  local file=$1 rate_key=$2 folder=$3
  xdotool key ctrl+n; sleep 1.5
  xdotool type --delay 10 "$file"; xdotool key Return; sleep 1
  xdotool key "$rate_key"; sleep 0.3
  xdotool key F10; sleep 1.5
  xdotool key ctrl+a; xdotool type --delay 10 "$folder"; xdotool key Return; sleep 1
  xdotool key alt+v; sleep 0.3; xdotool key f
}
