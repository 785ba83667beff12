# Sourced by scripts that drive the real program under X with xdotool, as a user would.
# Every wait is for a condition (a window, a file, a process), with a generous limit,
# so a loaded machine only makes the scripts slower.

# True when "$@" succeeds within $1 seconds, asked ten times a second.
within() {
  local seconds=$1; shift
  for _ in $(seq $((seconds * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}

# Exits 77 (skipped) unless every tool named is installed.
need_tools() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
  done
}

# A home, configuration and runtime folder of the script's own in $work, an X server
# with openbox on a free display, and, at exit, nothing of it left: the program, the
# encoders started from the script's runtime folder, the servers and the folder.
start_session() {
  work=$(mktemp -d)
  app=; wm=; xvfb=
  trap 'kill -9 $app 2>/dev/null; kill $wm $xvfb 2>/dev/null; pkill -f "$work/runtime" 2>/dev/null; rm -rf "$work"' EXIT
  export XDG_RUNTIME_DIR=$work/runtime HOME=$work XDG_CONFIG_HOME=$work/config
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  start_desktop
}

# An X server of its own with openbox; DISPLAY is set for everything after.
start_desktop() {
  # Xvfb picks a free display itself and writes its number: no clash with another server.
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$number_file" >/dev/null 2>&1 &
  xvfb=$!
  within 30 test -s "$number_file" || { echo "Xvfb did not start"; exit 1; }
  export DISPLAY=:$(head -n 1 "$number_file")
  rm -f "$number_file"
  within 30 xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not answer"; exit 1; }
  # openbox now and then gives up at start on a busy machine: it is asked up to three times.
  local attempt
  for attempt in 1 2 3; do
    openbox >/dev/null 2>&1 &
    wm=$!
    within 15 eval 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' && return 0
    kill "$wm" 2>/dev/null
  done
  echo "openbox did not start"
  exit 1
}

# Starts the program and waits until its main window has the focus; app and window
# name them.
start_program() {
  # As from a terminal: a script's background job would start with interrupts ignored.
  # start_with may add env's options, such as --ignore-signal=HUP for nohup.
  # With own_group set, in a process group of its own, as a terminal's job is.
  ${own_group:+setsid} env --default-signal=INT ${start_with:-} -u QT_QPA_PLATFORM "$program" >/dev/null \
    2>>"${program_errors:-/dev/null}" &
  app=$!
  within 60 main_window_shown || { echo "the main window was never shown"; exit 1; }
  activate_main || { echo "the main window never got the focus"; exit 1; }
}

# Asks the window manager to give the main window the focus, again if it did not.
activate_main() {
  local attempt
  for attempt in 1 2 3 4 5 6; do
    xdotool windowactivate "$window" 2>/dev/null
    within 5 focused_is_main && return 0
  done
  return 1
}

# Sets window to the program's own visible main window. A search fails with an X error
# when some window goes away while xdotool looks, so callers ask again.
main_window_shown() {
  window=$(xdotool search --all --onlyvisible --pid "$app" --name '^Tunvask$' 2>/dev/null | head -n 1)
  [[ -n $window ]]
}

# True when the program shows no main window: a failed search is not taken for one.
main_window_gone() {
  [[ -z $(xdotool search --all --onlyvisible --pid "$app" --name '^Tunvask$' 2>&1) ]]
}

focused_is_main() { [[ $(xdotool getactivewindow 2>/dev/null) == "$window" ]]; }
focused_is_dialog() { ! focused_is_main && [[ -n $(xdotool getactivewindow 2>/dev/null) ]]; }
ended() { ! kill -0 "$app" 2>/dev/null; }

# Opens a dialog with a key and answers it by typing text and Return. A key that a busy
# program missed is sent again, but only while nothing but its main window is shown;
# the next step waits until the dialog has left the screen, not only the focus.
answer_dialog() {
  local key=$1 text=$2 attempt
  for attempt in 1 2 3 4 5 6; do
    only_main_shown && xdotool key "$key"
    within 10 focused_is_dialog && break
  done
  focused_is_dialog || { echo "no dialog after $key"; exit 1; }
  xdotool key ctrl+a
  xdotool type --delay 10 "$text"
  xdotool key Return
  within 30 focused_is_main || { echo "the dialog after $key did not close"; exit 1; }
  within 30 only_main_shown || { echo "the dialog after $key stayed on screen"; exit 1; }
}

# True when the main window is the program's only window on screen (a failed search
# is not taken for that).
only_main_shown() {
  local ids
  ids=$(xdotool search --onlyvisible --pid "$app" 2>&1) || return 1
  [[ $ids == "$window" ]]
}

# Queues one file through 添加项目, picks a bit rate by its key (F1 to F6), chooses the
# output folder through 输出路径 and starts the run from the 转换 menu.
queue_and_convert() {
  local file=$1 rate_key=$2 folder=$3
  answer_dialog ctrl+n "$file"
  xdotool key "$rate_key"
  answer_dialog F10 "$folder"
  open_menu alt+v || { echo "the 转换 menu did not open"; exit 1; }
  xdotool key f
}

# Opens a menu of the menu bar by its key. Its letters count only once it is open (a key
# sent earlier goes to the main window and is lost), and a key the program missed while
# busy is sent again.
open_menu() {
  local attempt
  for attempt in 1 2 3 4 5 6; do
    xdotool key "$1"
    within 5 menu_open && return 0
    xdotool key Escape
  done
  return 1
}

menu_open() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DROPDOWN_MENU && return 0
  done
  return 1
}

# The hidden file tvenc writes before the result is complete.
row_in_progress() { pgrep -f "60718243.exe .* $1/" >/dev/null; }
# A hidden work file of the encoder's left in folder $1.
work_file_left() { compgen -G "$1/.*.tvenc-*" >/dev/null; }
