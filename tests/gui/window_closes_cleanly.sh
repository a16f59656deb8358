#!/usr/bin/env bash
# The real program in a real window under Xvfb: it opens, shows the world, and
# closing the window ends it with status 0.
# Usage: window_closes_cleanly.sh PROGRAM CLOSE_WINDOW_TOOL
set -euo pipefail
. "$(dirname "$0")/common.sh"
in_private_x_server 800x600 "$@"
program=$1
close_window=$2

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
