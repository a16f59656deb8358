#!/usr/bin/env bash
# Installed like a desktop program: `cmake --install` into a temporary prefix;
# started from elsewhere, the program works in $XDG_DATA_HOME/emberfall2,
# seeded from the prefix without replacing the user's files; --register-links
# makes it the handler of ef2mod:// and ef2addon:// links, and a link opened
# through the desktop (gio) reaches a running instance.
# Runs in a network namespace of its own where it can, so that the running
# instance may take the default port.
# Usage: install_and_links.sh BUILD_DIR
set -euo pipefail
if [ -z "${EF2_NETNS:-}" ] && unshare -n true 2>/dev/null; then
  EF2_NETNS=1 exec unshare -n "$0" "$@"
fi
[ -n "${EF2_NETNS:-}" ] && ip link set lo up
build=$(realpath "$1")
work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
fail() { echo "FAILED: $*"; exit 1; }
mkdir home data config elsewhere
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"

cmake --install "$build" --prefix "$work/prefix" > install.log || fail "install: $(cat install.log)"
program="$work/prefix/bin/emberfall2"
desktop-file-validate "$work/prefix/share/applications/emberfall2-launcher.desktop" || fail "the launcher is invalid"
[ -f "$work/prefix/share/icons/hicolor/64x64/apps/emberfall2.png" ] || fail "no icon installed"

# The first start seeds the user's folder; the start script loads from there.
cd elsewhere
printf 'SAVE SAND saved.png\n' > save.ef2
"$program" --headless --steps 1 --no-network "$work/elsewhere/save.ef2" > first.txt 2>&1 || fail "first start: $(cat first.txt)"
cd ..
[ -f data/emberfall2/saved.png ] || fail "the save did not land in the user's folder: $(find data)"
[ -f data/emberfall2/config.ef2 ] && [ -f data/emberfall2/font.ttf ] || fail "the user's folder was not seeded"
printf 'SET MINE 1\nGET MINE\n' > data/emberfall2/config.ef2
out=$(cd elsewhere && "$program" --headless --steps 0 --no-network 2>&1)
grep -qx "\[MINE\] 1" <<< "$out" || fail "the user's start script was replaced: $out"

# Link registration.
"$program" --register-links > register.txt 2>&1 || fail "--register-links: $(cat register.txt)"
entry="$XDG_DATA_HOME/applications/emberfall2.desktop"
desktop-file-validate "$entry" || fail "the link handler entry is invalid"
grep -qx "NoDisplay=true" "$entry" || fail "the link handler shows in menus"
for scheme in ef2mod ef2addon; do
  seen=$(xdg-mime query default "x-scheme-handler/$scheme")
  [ "$seen" = emberfall2.desktop ] || fail "xdg-mime gives \"$seen\" for $scheme"
done
mkdir nomime && ln -s "$(command -v dirname)" nomime/dirname
set +e
PATH="$work/nomime" "$program" --register-links > nomime.txt 2>&1; status=$?
set -e
[ "$status" = 1 ] && grep -q "xdg-utils" nomime.txt || fail "without xdg-mime: status $status, $(cat nomime.txt)"

# A link opened through the desktop reaches the running instance (on 7777,
# which only a namespace of our own guarantees to be free).
if [ -n "${EF2_NETNS:-}" ] && command -v gio > /dev/null; then
  mkdir toy && printf 'SET DEBUGPARSER 1\n' > toy/trace.ef2
  "$program" --headless --workdir "$work/toy" "$work/toy/trace.ef2" > toy/out.txt 2>&1 &
  pid=$!
  for _ in $(seq 100); do nc -z 127.0.0.1 7777 2>/dev/null && break; sleep 0.05; done
  timeout 20 gio open "ef2addon://127.0.0.1:9/mods/m.ef2" > gio.txt 2>&1 || fail "gio open: $(cat gio.txt)"
  # gio starts the handler and returns; the handler hands the link over and ends.
  sleep 0.5
  for _ in $(seq 100); do pgrep -f "ef2addon://127.0.0.1:9/mods" > /dev/null || break; sleep 0.1; done
  printf 'EXIT\n' | timeout 5 nc -N 127.0.0.1 7777 > /dev/null || true
  wait "$pid" || true
  pid=
  grep -q "filename: Network, line: 1, line  : http://127.0.0.1:9/mods/m.ef2" toy/out.txt \
    || fail "the link did not reach the running instance: $(cat toy/out.txt gio.txt)"
fi
echo "install and links: ok"
