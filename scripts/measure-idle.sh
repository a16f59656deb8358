#!/usr/bin/env bash
# Measures how much of a core the toy takes in a real window under Xvfb when
# nothing happens: the default start script paused, and an empty world running
# at 60 steps a second. Prints CPU percentages over a few seconds each.
# Usage: scripts/measure-idle.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
if [ -z "${EF2_MEASURE_DISPLAY:-}" ]; then
  EF2_MEASURE_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
build=$(realpath "${1:-build}")
seconds=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$build"/config.ef2 "$build"/font.ttf "$build"/icon.bmp "$work/"
[ -d "$build/img" ] && cp -r "$build/img" "$work/"
for file in "$build"/*.ef2; do cp "$file" "$work/"; done
printf 'INCLUDE config.ef2\nSPEED = 0\n' > "$work/paused.ef2"
printf 'SPEED = 60\n' > "$work/empty.ef2"

cpu_percent() {
  local pid=$1 ticks_before ticks_after hz
  hz=$(getconf CLK_TCK)
  ticks_before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  sleep "$seconds"
  ticks_after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  awk -v d=$((ticks_after - ticks_before)) -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.1f", 100 * d / hz / s }'
}
measure() {
  local name=$1 script=$2
  "$build/emberfall2" --no-network --workdir "$work" "$work/$script" > /dev/null 2>&1 &
  local pid=$!
  timeout 20 xdotool search --sync --name "Emberfall 2" > /dev/null
  xdotool mousemove 1200 1000
  sleep 1
  echo "$name: $(cpu_percent "$pid") % of a core"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}
measure "start script, paused" paused.ef2
measure "empty world, 60 steps/s" empty.ef2
