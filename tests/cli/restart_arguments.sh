#!/usr/bin/env bash
# RESTART starts the next run the way this one was started (headless, same
# folder) with the script's words as file arguments only: a word can never
# become an option such as --assume-yes or --save, and a name outside the
# working folder is refused.
# Usage: restart_arguments.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAILED: $*"; exit 1; }

printf 'SYSTEM "touch owned"\nSAVE SAND saved.png\nEXIT\n' > child.ef2
printf 'RESTART "--assume-yes child.ef2"\n' > restart.ef2
timeout 20 "$program" --headless --steps 0 --no-network --workdir "$work" restart.ef2 > out.txt 2>&1 \
  || fail "the restarting run failed: $(cat out.txt)"
[ ! -e owned ] || fail "the restarted run took --assume-yes from the script"
[ -e saved.png ] || fail "the restarted run did not run child.ef2 in the same folder: $(cat out.txt)"
grep -qF "Error opening file \"$work/--assume-yes\"" out.txt || fail "the words were not taken as files: $(cat out.txt)"

printf 'RESTART "/etc/passwd"\nRESTART "a ../x.ef2"\nGET NOT_RESTARTED\n' > refused.ef2
timeout 20 "$program" --headless --steps 0 --no-network --workdir "$work" refused.ef2 > refused.txt 2>&1
for line in 'Refused file name "/etc/passwd"' 'Refused file name "../x.ef2"' '[NOT_RESTARTED] 0'; do
  grep -qF "$line" refused.txt || fail "refused.ef2 lacks \"$line\": $(cat refused.txt)"
done
echo "restart arguments: ok"
