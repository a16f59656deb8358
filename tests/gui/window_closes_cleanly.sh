#!/usr/bin/env bash
# The real program in a real window under Xvfb: it opens, shows the world, and
# closing the window ends it with status 0.
# Usage: window_closes_cleanly.sh PROGRAM CLOSE_WINDOW_TOOL
set -euo pipefail
if [ -z "${EF2_GUI_DISPLAY:-}" ]; then
  # Run again inside a private X server.
  EF2_GUI_DISPLAY=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
# The X and GL driver libraries that SDL loads keep allocations they never
# free; leak checking of the program itself is done by the unit tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
program=$1
close_window=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$program" --workdir "$work" &
pid=$!
window=$(timeout 20 xdotool search --sync --name "Emberfall 2") || { kill "$pid"; echo "no window appeared"; exit 1; }
sleep 0.5
"$close_window" "$window"
timeout 20 tail --pid="$pid" -f /dev/null || { kill "$pid"; echo "the program did not end after closing"; exit 1; }
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { echo "expected exit status 0, saw $status"; exit 1; }
grep -q "Welcome to Emberfall 2" "$work/console.txt" || { echo "console.txt lacks the welcome line"; exit 1; }
echo "window opened and closed with status 0"
