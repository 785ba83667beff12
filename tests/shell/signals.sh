#!/usr/bin/env bash
# The real program under X, closed by the user or ended by signals in the middle of a row,
# as a logout, a closed terminal or a kill would: nothing of the run is left behind, and
# no encoder outlives the program. Exits 77 (skipped) where Xvfb, openbox, xdotool or
# ffmpeg is missing.
set -uo pipefail
source "$(dirname "$0")/drive_program.sh"
program=$1 tvenc=$2
need_tools Xvfb openbox xdotool xdpyinfo xprop ffmpeg pgrep
start_session
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=600" -ac 2 -ar 44100 "$work/src.wav"
"$tvenc" "$work/src.wav" "$work/long.mp3" -br 320000 >/dev/null 2>&1
fail() { echo "$1"; exit 1; }

# Starts a run of long.mp3 into a new folder out (named by $1) and waits for its row.
start_row() {
  out=$work/$1
  mkdir "$out"
  start_program
  queue_and_convert "$work/long.mp3" F5 "$out"
  within 60 row_in_progress "$out" || fail "$1: no row started"
  staged=$(compgen -G "$XDG_RUNTIME_DIR/tunvask-encoder-*")
}
status_of_program() { wait "$app"; echo $?; }
no_encoder() { ! pgrep -f "$staged/60718243.exe" >/dev/null; }

# Closing the window during a run, or one signal, which acts the same: the row is
# finished (had the program ended at once, the encoder would have gone with it and
# left no output), then the program ends as the signal says.
row_finished_and_gone() {
  within 120 ended || fail "$1: the program did not end after the row"
  [[ $(status_of_program) -eq $2 ]] || fail "$1: the program did not end with status $2"
  [[ -s $out/long.mp3 ]] || fail "$1: the row being converted was not finished"
  work_file_left "$out" && fail "$1: a temporary output was left"
  [[ ! -e $staged ]] || fail "$1: the staging folder was left"
}
start_row closed
xdotool key alt+F4
row_finished_and_gone closed 0
start_row hangup
kill -HUP "$app"
row_finished_and_gone hangup 129

# Ctrl+C in the terminal it was started from reaches its whole process group: the encoder
# is not in it, so the row is finished as after one signal.
own_group=1 start_row interrupt
kill -INT -- "-$app"
row_finished_and_gone interrupt 130

# Started under nohup, a hangup that reaches the program and its encoder alike stops neither.
start_with=--ignore-signal=HUP start_row nohup
kill -HUP "$app"
pkill -HUP -f "$staged/60718243.exe"
xdotool key alt+F4
row_finished_and_gone nohup 0

# A second one (an interrupt, then a terminate) ends it now: the encoder stops and removes
# its unfinished output.
start_row twice
kill -INT "$app"
# Two signals sent at once may arrive as one: the second goes once the first has closed the window.
within 20 main_window_gone || fail "twice: the window stayed open"
kill -TERM "$app"
within 20 ended || fail "twice: the program did not end at the second signal"
[[ $(status_of_program) -eq 143 ]] || fail "twice: the program did not end by the signal"
within 20 no_encoder || fail "twice: the encoder outlived the program"
work_file_left "$out" && fail "twice: the encoder left its temporary output"
[[ ! -e $out/long.mp3 ]] || fail "twice: an unfinished row has an output"
[[ ! -e $staged ]] || fail "twice: the staging folder was left"

# Killed outright, the program cannot clean up: the encoder notices and ends within a
# moment, and the next start removes the staging folder nobody holds any more.
start_row killed
kill -KILL "$app"
within 20 no_encoder || fail "killed: the encoder outlived the program"
within 20 eval '! work_file_left "$out"' || fail "killed: the encoder left its temporary output"
# An encoder that went on alone would have finished the row.
[[ ! -e $out/long.mp3 ]] || fail "killed: the encoder went on without the program"
[[ -d $staged ]] || fail "killed: expected the dead program's staging folder"
touch -d '1 hour ago' "$staged" # past the grace a folder being set up gets
start_program
within 30 eval '[[ ! -e $staged ]]' || fail "killed: the next start left the stale staging folder"
# Closed when no run is going, it ends at once.
xdotool key alt+F4
within 10 ended || fail "the program did not end when its window was closed"
echo "closing or a hangup finishes the row, a hangup under nohup stops nothing; a second signal stops the encoder; a killed program's encoder and staging go"
