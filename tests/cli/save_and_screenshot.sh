#!/usr/bin/env bash
# A headless run writes its world with --save as a PNG that an independent
# reader sees as 16-bit RGB of the full grid and that loads back exactly, and
# writes one frame with --screenshot as an 8-bit PNG of the screen. Relative
# output names are taken from the folder the program was started in.
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir program-folder

cat > elements.ef2 <<'SCRIPT'
ELEMENT Powders Sand 200 180 80 300 1 1 1
ELEMENT Liquids Water 40 80 230 100 1 30 1
ELEMENT Solids Wall 128 128 128
SCRIPT
cat elements.ef2 - > scene.ef2 <<'SCRIPT'
DRAW ELEMENT:Sand FILLEDCIRCLE 100 100 40
DRAW ELEMENT:Water FILLEDRECT 200 50 150 80
DRAW ELEMENT:Wall FILLEDRECT 50 300 300 10
SCRIPT

fail() { echo "FAILED: $*"; exit 1; }

"$program" --headless --steps 200 --workdir program-folder --save out.png --screenshot shot.png scene.ef2 >/dev/null
seen=$(identify -format '%w %h %z %[channels]' out.png)
[ "$seen" = "422 422 16 srgb" ] || fail "out.png is \"$seen\", expected \"422 422 16 srgb\""
seen=$(identify -format '%w %h %z %[channels]' shot.png)
[ "$seen" = "486 504 8 srgb" ] || fail "shot.png is \"$seen\", expected \"486 504 8 srgb\""
# The frame shows the world, not only the background: sand, water and wall at least.
colours=$(identify -format '%k' shot.png)
[ "$colours" -ge 4 ] || fail "shot.png has only $colours colours"

"$program" --headless --steps 0 --workdir program-folder --save back.png elements.ef2 out.png >/dev/null
cmp -s out.png back.png || fail "out.png loaded and saved again differs from out.png"

"$program" --headless --steps 0 --workdir program-folder --save /no/such/folder/x.png elements.ef2 >/dev/null 2>&1 && fail "an unwritable --save file must fail"
echo "save and screenshot: ok"
