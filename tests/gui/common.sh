# The shared start of the window tests, sourced right after `set -euo pipefail`:
#
#   . "$(dirname "$0")/common.sh"
#   in_private_x_server 1366x768 "$@"
#
# in_private_x_server runs the calling script again, once, inside an X server
# of its own (xvfb-run) with a screen of the given size. There it makes the
# work folder $work, which is removed at exit together with the program whose
# process id is in $pid, if that is still running.
in_private_x_server() {
  local screen=$1
  shift
  if [ -z "${EF2_GUI_DISPLAY:-}" ]; then
    EF2_GUI_DISPLAY=1 exec xvfb-run -a -s "-screen 0 ${screen}x24" "$0" "$@"
  fi
  # The X and GL driver libraries that SDL loads keep allocations they never
  # free; leak checking of the program itself is done by the unit tests.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
  work=$(mktemp -d)
  pid=
  trap 'if [ -n "$pid" ]; then kill "$pid" 2> /dev/null || true; fi; rm -rf "$work"' EXIT
}
