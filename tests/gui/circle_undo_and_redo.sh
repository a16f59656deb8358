#!/usr/bin/env bash
# The default start script in a real window under Xvfb, used as a player
# would: pick Diamond from the Solids category by its button, choose the Filled
# circle tool, drag a circle of radius 40 cells, undo it with Ctrl+Z and redo
# it with Ctrl+Y. After each step a key that the start script leaves unnamed
# makes the script count the diamonds into console.txt: about pi x 40^2, then
# none, then as many as before.
# Usage: circle_undo_and_redo.sh PROGRAM CLOSE_WINDOW_TOOL PROGRAM_FOLDER
set -euo pipefail
. "$(dirname "$0")/common.sh"
in_private_x_server 1366x768 "$@"
program=$1
close_window=$2
folder=$3
cp "$folder"/*.ef2 "$folder/font.ttf" "$folder/icon.bmp" "$work/"
# Paused, so that nothing moves; F12 has no job of its own (it is one of the
# keys that only close the help screen), so it reports the count.
cat >> "$work/config.ef2" <<'HOOK'
SPEED = 0
ON KEY_ANY COUNT DIAMONDS ELEMENT:Diamond
ON KEY_ANY GET DIAMONDS
HOOK

"$program" --workdir "$work" --no-network &
pid=$!
fail() { echo "$1"; kill "$pid" 2>/dev/null || true; cat "$work/console.txt"; exit 1; }
window=$(timeout 20 xdotool search --sync --name "Emberfall 2") || fail "no window appeared"
# The start script asks for a 960 x 660 window; the layout below assumes it.
for _ in $(seq 50); do
  [ "$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')" = "960x660" ] && break
  sleep 0.1
done
[ "$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')" = "960x660" ] || fail "the window did not become 960x660"
# It opened centred at 486 x 504 and grew from its corner: it must have been
# moved back onto the 1366 x 768 screen.
read -r left top < <(xdotool getwindowgeometry "$window" | sed -n 's/.*Position: \([0-9-]*\),\([0-9-]*\).*/\1 \2/p')
[ "$left" -ge 0 ] && [ "$top" -ge 0 ] && [ $((left + 960)) -le 1366 ] && [ $((top + 660)) -le 768 ] ||
  fail "the grown window is not on the screen: at $left,$top"
sleep 0.5
# A press held for 60 ms: a press and release within one poll of the program
# can be missed.
press() {
  xdotool mousemove --window "$window" "$1" "$2"
  sleep 0.1
  xdotool mousedown 1
  sleep 0.06
  xdotool mouseup 1
  sleep 0.3
}
report() {
  xdotool key --window "$window" F12
  sleep 0.4
  sed -n 's/^\[DIAMONDS\] //p' "$work/console.txt" | tail -1
}

# Solids is the fourth category on the left; Diamond the eleventh row of its
# submenu, which opens beside it. Filled circle is the seventh tool on the right.
press 28 103
press 92 293
press 918 169
[ "$(report)" = "0" ] || fail "expected no diamonds before drawing"

# Drag from the middle of the world 40 pixels (40 cells at zoom 1) to the right.
xdotool mousemove --window "$window" 420 320
sleep 0.1
xdotool mousedown 1
for x in 430 440 450 460; do xdotool mousemove --window "$window" "$x" 320; sleep 0.05; done
sleep 0.1
xdotool mouseup 1
sleep 0.3
drawn=$(report)
# A filled circle of radius 40 covers 5,025 cells (pi r^2 = 5,027).
[ -n "$drawn" ] && [ "$drawn" -ge 4900 ] && [ "$drawn" -le 5150 ] || fail "expected about 5027 diamonds, saw \"$drawn\""

xdotool keydown --window "$window" ctrl
sleep 0.1
xdotool key --window "$window" z
sleep 0.1
xdotool keyup --window "$window" ctrl
sleep 0.3
undone=$(report)
[ "$undone" = "0" ] || fail "expected no diamonds after Ctrl+Z, saw \"$undone\""

xdotool keydown --window "$window" ctrl
sleep 0.1
xdotool key --window "$window" y
sleep 0.1
xdotool keyup --window "$window" ctrl
sleep 0.3
redone=$(report)
[ "$redone" = "$drawn" ] || fail "expected $drawn diamonds after Ctrl+Y, saw \"$redone\""

"$close_window" "$window"
timeout 20 tail --pid="$pid" -f /dev/null || fail "the program did not end after closing"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "expected exit status 0, saw $status"
if grep -q "^ERROR" "$work/console.txt"; then fail "the start script reported errors"; fi
echo "drew $drawn diamonds, undid them to 0 and redid them to $redone"
