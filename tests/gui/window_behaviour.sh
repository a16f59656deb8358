#!/usr/bin/env bash
# The window as a desktop user meets it, under Xvfb with xdotool:
# - 20 instant clicks (press and release in one event poll) paint 20 dots;
# - with --scale 2 a click lands on the cell under the pointer: the same cell
#   as a click at half the position in an unscaled window;
# - the open console takes typed lines (no key trigger runs meanwhile), runs
#   them, keeps their history, and Escape gives the keys back to the game;
# - asked for a file dialog with neither dialog program on the PATH, the
#   window says so in a box, and once it is closed the game goes on.
# Usage: window_behaviour.sh PROGRAM CLOSE_WINDOW_TOOL PROGRAM_FOLDER
set -euo pipefail
. "$(dirname "$0")/common.sh"
in_private_x_server 1280x1100 "$@"
program=$1
close_window=$2
folder=$3
cp "$folder/font.ttf" "$work/"
fail() { echo "FAILED: $*"; cat "$work/console.txt" 2>/dev/null; exit 1; }

# Starts the program on a script and waits for its window.
start() {
  env ${program_path:+PATH="$program_path"} "$program" --no-network --workdir "$work" "$@" &
  pid=$!
  # A search can meet a window that is gone the next moment (the toolkit
  # makes and drops one while it starts): search again until one stays.
  window=
  for _ in $(seq 100); do
    window=$(xdotool search --name "Emberfall 2" 2> /dev/null | tail -n 1) && [ -n "$window" ] && break
    sleep 0.2
  done
  [ -n "$window" ] || fail "no window appeared"
  # Each script ends by reporting READY: then the start-up is over.
  for _ in $(seq 100); do
    grep -q "^\[READY\]" "$work/console.txt" 2> /dev/null && break
    sleep 0.2
  done
  sleep 0.5
  # The window found first may have been the passing one: look again now that
  # the start-up is over, and make sure the one taken answers.
  window=$(xdotool search --name "Emberfall 2" 2> /dev/null | tail -n 1)
  xdotool getwindowgeometry "$window" > /dev/null 2>&1 || fail "the window went away after the start-up"
}
finish() {
  "$close_window" "$window"
  timeout 20 tail --pid="$pid" -f /dev/null || fail "the program did not end"
  wait "$pid" || fail "the program did not end with status 0"
  pid=
}
reported() { sed -n "s/^\[$1\] //p" "$work/console.txt" | tail -n 1; }
# Waits until the console shows LINE: a slow machine may take a while to
# handle the events sent, and a close sent before that would race them.
await() {
  for _ in $(seq 100); do
    grep -qxF "$1" "$work/console.txt" 2> /dev/null && return 0
    sleep 0.2
  done
  fail "the console never showed: $1"
}

cat > "$work/dots.ef2" <<'SCRIPT'
ELEMENT Dots Dot 255 255 0 0 1 0 1
SPEED = 0
REMOVETRIGGER QUIT
ON DRAW DRAW ELEMENT:Dot POINT X Y
ON MOUSEDOWN SET LASTX X
ON MOUSEDOWN SET LASTY Y
ON MOUSEDOWN INC CLICKS
ON MOUSEDOWN GET CLICKS
ON QUIT COUNT DOTS ELEMENT:Dot
ON QUIT GET DOTS
ON QUIT GET LASTX
ON QUIT GET LASTY
ON QUIT EXIT
GET READY
SCRIPT

start "$work/dots.ef2"
for i in $(seq 20); do
  xdotool mousemove --window "$window" $((60 + i * 15)) $((80 + i * 10)) click 1
  sleep 0.1
done
xdotool mousemove --window "$window" 201 301 click 1
await "[CLICKS] 21"
finish
[ "$(reported DOTS)" = 21 ] || fail "21 instant clicks painted $(reported DOTS) dots"
unscaled="$(reported LASTX) $(reported LASTY)"

start --scale 2 "$work/dots.ef2"
xdotool mousemove --window "$window" 402 602 click 1
await "[CLICKS] 1"
finish
scaled="$(reported LASTX) $(reported LASTY)"
[ "$scaled" = "$unscaled" ] || fail "with --scale 2 the click at (402, 602) reached cell $scaled, not $unscaled"

cat > "$work/keys.ef2" <<'SCRIPT'
SPEED = 0
KEYCODE 99 C
ON KEY_C INC CLEARED
ON KEY_C GET CLEARED
REMOVETRIGGER QUIT
ON QUIT GET TYPED
ON QUIT GET CLEARED
ON QUIT EXIT
CONSOLE = 1
GET READY
SCRIPT
start "$work/keys.ef2"
xdotool type --delay 30 "ccc"
xdotool key BackSpace BackSpace BackSpace
xdotool type --delay 30 "SET TYPED (40 + 2)"
xdotool key Return
xdotool type --delay 30 "GET TYPED"
xdotool key Return
await "[TYPED] 42"
xdotool key Escape
sleep 0.3
xdotool key c
await "[CLEARED] 1"
finish
[ "$(reported TYPED)" = 42 ] || fail "the typed line did not run"
[ "$(reported CLEARED)" = 1 ] || fail "KEY_C ran $(reported CLEARED) times: keys reached the game while the console had them, or not after"
grep -qxF "SET TYPED (40 + 2)" "$work/console_history.txt" || fail "the history file lacks the line"

cat > "$work/dialog.ef2" <<'SCRIPT'
SPEED = 0
KEYCODE 115 S
ON KEY_S SAVE SAND FILEDIALOG
ON KEY_S INC SAVES
ON KEY_S GET SAVES
REMOVETRIGGER QUIT
ON QUIT EXIT
GET READY
SCRIPT
mkdir "$work/no-programs"
program_path="$work/no-programs" start "$work/dialog.ef2"
xdotool key s
# The box's title is a UTF-8 name, which xdotool's search does not read.
box=
for _ in $(seq 50); do
  box=$(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "File dialog".*/\1/p' | head -n 1)
  [ -n "$box" ] && break
  sleep 0.2
done
[ -n "$box" ] || fail "no box said that there is no file dialog"
[ -z "$(reported SAVES)" ] || fail "the game went on while the box was open"
xdotool windowfocus --sync "$box" key Return
await "[SAVES] 1"
grep -qxF "No file dialog could be shown: install zenity or kdialog" "$work/console.txt" ||
  fail "the console lacks the reason"
finish
echo "clicks, scale, the console and the file dialog box: ok"
