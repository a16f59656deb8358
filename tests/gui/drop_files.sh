#!/usr/bin/env bash
# Files dropped on the real window under Xvfb, by an XDND drop as a file
# manager makes it: a script runs, a world picture loads, and a zip package
# unpacks beside itself and its script runs.
# Usage: drop_files.sh PROGRAM CLOSE_WINDOW_TOOL DROP_FILE_TOOL PROGRAM_FOLDER
set -euo pipefail
. "$(dirname "$0")/common.sh"
in_private_x_server 800x600 "$@"
program=$1
close_window=$2
drop_file=$3
folder=$4
fail() { echo "FAILED: $*"; cat "$work/toy/console.txt" 2>/dev/null; exit 1; }
mkdir "$work/toy" "$work/files" "$work/files/pack"
cp "$folder/font.ttf" "$work/toy/"

cat > "$work/toy/watch.ef2" <<'SCRIPT'
ELEMENT Things Rock 120 120 120 0 1 0 1
SPEED = 0
REMOVETRIGGER QUIT
ON QUIT COUNT ROCKS ELEMENT:Rock
ON QUIT GET ROCKS
ON QUIT GET DROPPED
ON QUIT GET PACKED
ON QUIT EXIT
GET READY
SCRIPT
printf 'SET DROPPED 42\n' > "$work/files/dropped script.ef2"
printf 'SET PACKED 1\n' > "$work/files/pack/mod.ef2"
(cd "$work/files/pack" && zip -q ../mod.ef2.zip mod.ef2)
rm -r "$work/files/pack"
printf 'ELEMENT Things Rock 120 120 120 0 1 0 1\nDRAW ELEMENT:Rock FILLEDRECT 10 10 5 4\n' > "$work/files/rocks.ef2"
"$program" --headless --steps 0 --no-network --workdir "$work/files" --save "$work/files/world.png" \
  "$work/files/rocks.ef2" > /dev/null || fail "the world to drop could not be made"

"$program" --no-network --workdir "$work/toy" "$work/toy/watch.ef2" &
pid=$!
window=
for _ in $(seq 100); do
  window=$(xdotool search --name "Emberfall 2" 2> /dev/null | tail -n 1) && [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || fail "no window appeared"
for _ in $(seq 100); do grep -q "^\[READY\]" "$work/toy/console.txt" 2> /dev/null && break; sleep 0.2; done
eval "$(xdotool getwindowgeometry --shell "$window")"
for file in "dropped script.ef2" world.png mod.ef2.zip; do
  "$drop_file" "$window" $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) "$work/files/$file" || fail "dropping $file"
  sleep 0.3
done
"$close_window" "$window"
timeout 20 tail --pid="$pid" -f /dev/null || fail "the program did not end"
wait "$pid" || fail "the program did not end with status 0"
pid=
reported() { sed -n "s/^\[$1\] //p" "$work/toy/console.txt" | tail -n 1; }
[ "$(reported DROPPED)" = 42 ] || fail "the dropped script did not run"
[ "$(reported ROCKS)" = 20 ] || fail "the dropped world shows $(reported ROCKS) rocks, not 20"
[ "$(reported PACKED)" = 1 ] || fail "the dropped package's script did not run"
[ -f "$work/files/mod.ef2" ] || fail "the package was not unpacked beside itself"
echo "dropped a script, a world and a package: ok"
