#!/usr/bin/env bash
# Takes the README's screenshots again: the window under Xvfb (the opening
# scene, a category submenu, the Heat view, the help screen) and the headless
# demo's last frame. Usage: scripts/screenshots.sh [BUILD_DIR]   (after make build)
set -euo pipefail
build_dir=$(cd "${1:-build}" && pwd)
docs=$(cd "$(dirname "$0")/../docs" && pwd)
if [ -z "${EF2_SHOT_DISPLAY:-}" ]; then
  EF2_SHOT_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1366x768x24" "$0" "$build_dir"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build_dir"/*.ef2 "$build_dir/font.ttf" "$build_dir/icon.bmp" "$work/"

"$build_dir/emberfall2" --workdir "$work" --no-network &
pid=$!
window=$(timeout 20 xdotool search --sync --name "Emberfall 2")
shot() { import -window "$window" "$docs/$1"; echo "wrote docs/$1"; }
press() {
  xdotool mousemove --window "$window" "$1" "$2"; sleep 0.1
  xdotool mousedown 1; sleep 0.06; xdotool mouseup 1; sleep 0.3
}
key() { xdotool key --window "$window" "$1"; sleep 0.3; }

xdotool mousemove --window "$window" 700 80
sleep 6
shot screenshot-window.png
# The Liquids category, with the pointer on Lava: its description below.
press 28 58
xdotool mousemove --window "$window" 92 134; sleep 0.5
shot screenshot-submenu.png
key Escape
# Later, with the fuse burnt down and the powder gone up, in the Heat view.
xdotool mousemove --window "$window" 500 200
sleep 8
key v
sleep 1
shot screenshot-heat.png
key v; key v; key v
key F1
shot screenshot-help.png
kill "$pid"

"$build_dir/emberfall2" --headless --steps 600 --screenshot "$docs/screenshot-demo.png" --workdir "$work" \
  "$work/demo.ef2" >/dev/null
echo "wrote docs/screenshot-demo.png"
