#!/usr/bin/env bash
# The real program with the default start script in a real window under Xvfb:
# pick Water in the element panel, paint a stroke across the world, close the
# window. The program's own log must show water in the world, and the exit
# status must be 0.
# Usage: paint_with_the_mouse.sh PROGRAM CLOSE_WINDOW_TOOL PROGRAM_FOLDER
set -euo pipefail
. "$(dirname "$0")/common.sh"
in_private_x_server 1366x768 "$@"
program=$1
close_window=$2
folder=$3
cp "$folder"/*.ef2 "$folder/font.ttf" "$folder/icon.bmp" "$work/"
# When the window closes, count the water and report it before exiting. The
# opening scene's lake and rain are cleared away first.
cat >> "$work/config.ef2" <<'HOOK'
SPEED = 0
DRAW 0 FILLEDRECT 1 1 WIDTH HEIGHT
REMOVETRIGGER QUIT
ON QUIT COUNT PAINTED ELEMENT:Water
ON QUIT GET PAINTED
ON QUIT EXIT
HOOK

"$program" --workdir "$work" &
pid=$!
window=$(timeout 20 xdotool search --sync --name "Emberfall 2") || { kill "$pid"; echo "no window appeared"; exit 1; }
sleep 1
step() { "$@"; sleep 0.15; }
# Liquids is the second category on the left; Water is the first row of the
# submenu that opens beside it. Presses are held for 60 ms: a press and release
# within one poll of the program can be missed.
press() { step xdotool mousemove --window "$window" "$1" "$2"; xdotool mousedown 1; sleep 0.06; step xdotool mouseup 1; }
press 28 58
press 88 58
step xdotool mousemove --window "$window" 120 250
step xdotool mousedown 1
for x in 160 200 240 280 320 360; do step xdotool mousemove --window "$window" "$x" 260; done
step xdotool mouseup 1
"$close_window" "$window"
timeout 20 tail --pid="$pid" -f /dev/null || { kill "$pid"; echo "the program did not end after closing"; exit 1; }
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { echo "expected exit status 0, saw $status"; cat "$work/console.txt"; exit 1; }
painted=$(sed -n 's/^\[PAINTED\] //p' "$work/console.txt")
if [ -z "$painted" ] || [ "$painted" -le 0 ]; then
  echo "expected water in the world, saw \"${painted:-no count}\""; cat "$work/console.txt"; exit 1
fi
if grep -q "^ERROR" "$work/console.txt"; then echo "the start script reported errors:"; cat "$work/console.txt"; exit 1; fi
echo "painted $painted cells of water; closed with status 0"
