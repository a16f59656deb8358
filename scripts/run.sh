#!/usr/bin/env bash
# `make run`: start the toy in a window, or, with no display, run the headless
# demo and say where its result went.
set -euo pipefail
build_dir=${1:-build}
program="$build_dir/emberfall2"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$program"
fi

echo "run: no display available; running the headless demo instead (600 steps)."
"$program" --headless --steps 600 --bench --screenshot "$build_dir/demo.png" --workdir "$build_dir" \
  "$build_dir/demo.ef2"
echo "run: the demo's last frame is in $build_dir/demo.png"
