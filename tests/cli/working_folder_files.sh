#!/usr/bin/env bash
# The files the program opens by itself in its working folder at start (its
# window icon, its log and console history) are opened like every other: a
# FIFO never holds the start up, and a link never leads out of the folder.
# Usage: working_folder_files.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/folder"
cd "$work/folder"
fail() { echo "FAILED: $*"; exit 1; }

printf 'victim\n' > ../victim.txt
mkfifo icon.bmp
ln -s ../victim.txt console.txt
ln -s ../victim.txt console_history.txt
status=0
timeout 20 "$program" --headless --steps 0 --no-network --workdir . > out.txt 2>&1 || status=$?
[ "$status" -ne 124 ] || fail "a FIFO named icon.bmp held the start up"
[ "$status" -eq 0 ] || fail "the program ended with status $status: $(cat out.txt)"
[ "$(cat ../victim.txt)" = victim ] || fail "a link out of the folder was written through"
echo "working folder files: ok"
