#!/usr/bin/env bash
# Remote control through the real program and real clients: nc, curl, a second
# instance, the add-on hand-over, the command-line switches and the refusals.
# Runs in a network namespace of its own where it can (so port 7777 is free
# and nothing collides); elsewhere on ports chosen free.
# Usage: remote_control.sh PROGRAM
set -euo pipefail
if [ -z "${EF2_NETNS:-}" ] && unshare -n true 2>/dev/null; then
  EF2_NETNS=1 exec unshare -n "$0" "$@"
fi
[ -n "${EF2_NETNS:-}" ] && ip link set lo up
program=$(realpath "$1")
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

fail() { echo "FAILED: $*"; exit 1; }
free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
# Starts a headless server in folder $1 on port $2 with extra arguments; its
# standard output goes to $1/out.txt.
serve() {
  local folder=$1 port=$2
  shift 2
  mkdir -p "$folder"
  "$program" --headless --workdir "$folder" --port "$port" "$@" > "$folder/out.txt" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    nc -z 127.0.0.1 "$port" 2>/dev/null && return 0
    sleep 0.05
  done
  fail "the server on port $port did not start"
}
ask() { printf "$2" | timeout 5 nc -N 127.0.0.1 "$1"; }
expect_reply() {
  local seen
  seen=$(ask "$1" "$2")
  [ "$seen" = "$3" ] || fail "sent $(printf %q "$2"), expected $(printf %q "$3"), saw $(printf %q "$seen")"
}

# A plain headless program serves on 7777 until a peer sends EXIT.
if [ -n "${EF2_NETNS:-}" ]; then main_port=7777; else main_port=$(free_port); fi
if [ "$main_port" = 7777 ]; then
  mkdir -p a
  "$program" --headless --workdir a > a/out.txt 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do nc -z 127.0.0.1 7777 2>/dev/null && break; sleep 0.05; done
  nc -z 127.0.0.1 7777 || fail "nothing listens on 7777 by default"
else
  serve a "$main_port"
fi
expect_reply "$main_port" 'SET X 5\nGET X\n' $'Emberfall2\n[X] 5'
expect_reply "$main_port" 'GET X\r\nNOPE\r\n' $'Emberfall2\n[X] 5\nERROR in file Network in line 2: NOPE\r'

# telnet sends each line feed as CR LF.
if command -v telnet > /dev/null; then
  seen=$( (printf 'GET X\n'; sleep 2) | timeout 5 telnet 127.0.0.1 "$main_port" 2>/dev/null | tr -d '\r' || true)
  grep -qxF "[X] 5" <<< "$seen" || fail "telnet saw: $seen"
fi

# A web page posting to the port, and a TLS client, run nothing.
curl -s --max-time 3 --data-binary $'SET OWNED 1\n' "http://127.0.0.1:$main_port/" > /dev/null || true
curl -s --max-time 3 "https://127.0.0.1:$main_port/" > /dev/null || true
expect_reply "$main_port" 'GET OWNED\n' $'Emberfall2\n[OWNED] 0'
grep -q "Refused an HTTP request on connection" a/out.txt || fail "no console line for the HTTP request"
grep -q "Refused a TLS handshake on connection" a/out.txt || fail "no console line for the TLS handshake"

# A peer's RESTART and SYSTEM are refused without a person to ask, even with
# --assume-yes; the program goes on serving.
port_b=$(free_port)
serve b "$port_b" --assume-yes
ask "$port_b" 'RESTART\nSYSTEM "touch owned"\n' > /dev/null
expect_reply "$port_b" 'GET X\n' $'Emberfall2\n[X] 0'
grep -q "Refused RESTART for a network connection" b/out.txt || fail "a peer's RESTART was not refused"
[ ! -e b/owned ] || fail "a peer's SYSTEM ran"

# A loopback peer of another user is refused.
if [ "$(id -u)" = 0 ] && command -v setpriv > /dev/null; then
  seen=$(printf 'SET OTHER 1\n' | timeout 5 setpriv --reuid=65534 --regid=65534 --clear-groups nc -N 127.0.0.1 "$port_b" || true)
  [ -z "$seen" ] || fail "a peer of another user was greeted: $seen"
  expect_reply "$port_b" 'GET OTHER\n' $'Emberfall2\n[OTHER] 0'
  grep -q "Refused a connection from another user (uid 65534)" b/out.txt || fail "no console line for the other user"
fi

# Two instances: a script drives the other one with CONNECT and REMOTE.
cat > drive.ef2 <<SCRIPT
CONNECT "127.0.0.1" $port_b C
REMOTE C SET Y 7
REMOTE C EXEC T
CONNECT "localhost" $port_b ME
SCRIPT
ask "$port_b" 'TRIGGER T {\nINC RAN\n}\n' > /dev/null
"$program" --headless --steps 0 --workdir b --port "$port_b" "$work/drive.ef2" > drive.txt 2>&1 \
  || fail "the driving instance failed: $(cat drive.txt)"
grep -q "Cannot connect to myself" drive.txt && fail "a second instance without the port took itself for the server"
expect_reply "$port_b" 'GET Y\nGET RAN\n' $'Emberfall2\n[Y] 7\n[RAN] 1'

# CONNECT's failures: a closed port, a bad name, and the listening instance
# itself (an instance that did not get the port may connect to its owner).
cat > failures.ef2 <<SCRIPT
CONNECT "127.0.0.1" $(free_port) CLOSED
CONNECT "no-such-host.invalid" 80 BAD
GET CLOSED
GET BAD
SCRIPT
"$program" --headless --steps 0 --workdir b --port "$(free_port)" "$work/failures.ef2" > failures.txt 2>&1
for line in "Couldn't connect." "Couldn't resolve hostname." "[CLOSED] 0" "[BAD] 0"; do
  grep -qF "$line" failures.txt || fail "failures.ef2 lacks \"$line\": $(cat failures.txt)"
done
port_c=$(free_port)
printf 'CONNECT "localhost" %s SELF\nGET SELF\n' "$port_c" > self.ef2
"$program" --headless --steps 0 --workdir b --port "$port_c" "$work/self.ef2" > self.txt 2>&1
grep -q "Cannot connect to myself." self.txt && grep -qF "[SELF] 0" self.txt || fail "CONNECT to itself: $(cat self.txt)"
printf 'CONNECT "localhost" %s SELF\nGET SELF\n' "$port_b" > other.ef2
"$program" --headless --steps 0 --workdir b --port "$port_b" "$work/other.ef2" > other.txt 2>&1
grep -q "Cannot connect to myself." other.txt && fail "an instance without the port refused to connect to its owner"
grep -qF "[SELF] 0" other.txt && fail "an instance without the port could not connect to its owner: $(cat other.txt)"

# --no-network: nothing listens.
port_d=$(free_port)
"$program" --headless --workdir b --port "$port_d" --no-network > /dev/null 2>&1 &
pids+=($!)
sleep 0.5
nc -z 127.0.0.1 "$port_d" 2>/dev/null && fail "--no-network still listens"

# The add-on hand-over: a second start with an ef2addon link hands the link to
# the running instance and ends at once, without a window (there is no
# display here: opening one would fail).
printf 'SET DEBUGPARSER 1\n' > c.ef2
serve c "$port_c" "$work/c.ef2"
started=$(date +%s%N)
env -u DISPLAY -u WAYLAND_DISPLAY "$program" --port "$port_c" "ef2addon://127.0.0.1:9/mods/m.ef2" > handover.txt 2>&1 \
  || fail "the hand-over did not end with status 0: $(cat handover.txt)"
elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
[ "$elapsed_ms" -lt 10000 ] || fail "the hand-over took $elapsed_ms ms"
# Its traces reach the file when it ends.
ask "$port_c" 'EXIT\n' > /dev/null
wait "${pids[-1]}" || true
grep -q "filename: Network, line: 1, line  : http://127.0.0.1:9/mods/m.ef2" c/out.txt \
  || fail "the running instance did not receive the link: $(cat c/out.txt)"
# With nobody listening, the program starts as usual.
env -u DISPLAY "$program" --headless --steps 0 --workdir b --port "$(free_port)" "ef2addon://127.0.0.1:9/m.ef2" \
  > alone.txt 2>&1 || fail "a start with a link and no instance failed: $(cat alone.txt)"
grep -q "Welcome to Emberfall 2" alone.txt || fail "the program did not start: $(cat alone.txt)"

expect_reply "$main_port" 'EXIT\n' 'Emberfall2'
echo "remote control: ok"
