#!/usr/bin/env bash
# Measures remote control end to end: CLIENTS netcat clients each send LINES
# lines of `INC C` at once into a headless server on a free loopback port.
# Prints the wall-clock rate and checks that every line ran exactly once.
# Usage: scripts/measure-remote.sh [BUILD_DIR] [CLIENTS] [LINES]
set -euo pipefail
build=$(realpath "${1:-build}")
clients=${2:-16}
lines=${3:-100000}
work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$build/emberfall2" --headless --workdir "$work" --port "$port" > "$work/server.log" 2>&1 &
server=$!
for _ in $(seq 100); do
  nc -z 127.0.0.1 "$port" 2> /dev/null && break
  sleep 0.1
done
awk -v n="$lines" 'BEGIN { for (i = 0; i < n; i++) print "INC C" }' > "$work/lines"

start=$(date +%s.%N)
for _ in $(seq "$clients"); do
  nc -N 127.0.0.1 "$port" < "$work/lines" > /dev/null &
done
wait $(jobs -p | grep -vx "$server")
end=$(date +%s.%N)

count=$(printf 'GET C\nEXIT\n' | nc -N 127.0.0.1 "$port" | sed -n 's/^\[C\] //p')
wait "$server" 2> /dev/null || :
server=
expected=$((clients * lines))
awk -v n="$expected" -v s="$start" -v e="$end" -v c="$clients" -v l="$lines" \
  'BEGIN { printf "%d clients x %d lines: %.2f s, %.2f M lines/s\n", c, l, e - s, n / (e - s) / 1e6 }'
if [ "$count" != "$expected" ]; then
  echo "C is ${count:-missing}, expected $expected: lines were lost or run twice" >&2
  exit 1
fi
echo "every line ran once (C = $count)"
