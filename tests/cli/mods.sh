#!/usr/bin/env bash
# Mods from the web and from zip packages, through the real program, a real
# web server and packages made with the real zip tool: what is downloaded,
# reused, forced, refused, and that nothing lands outside its folder.
# Usage: mods.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
fail() { echo "FAILED: $*"; exit 1; }
mkdir site toy outside
touch -d '2000-01-01' stamp

# The site: a mod, a mod with a query, packages good and bad.
printf 'SET MOD 1\nGET MOD\n' > site/m.ef2
mkdir -p build/pack/extra
printf 'SET FROM_PACKAGE 7\nGET FROM_PACKAGE\n' > build/pack/pack.ef2
printf 'SET MORE 1\n' > build/pack/extra/more.ef2
(cd build/pack && zip -q -r "$work/site/pack.ef2.zip" pack.ef2 extra)
# An entry that climbs out: ../escaped.ef2
mkdir -p build/up/inner && printf 'SET ESCAPED 1\n' > build/up/escaped.ef2
(cd build/up/inner && zip -q "$work/site/climb.zip" ../escaped.ef2)
# An absolute entry: made with a placeholder name of the same length, patched.
printf 'x\n' > build/XXXXXXXXXXXXXXXXXX
(cd build && zip -q "$work/site/absolute.zip" XXXXXXXXXXXXXXXXXX)
python3 - "$work/site/absolute.zip" <<'PY'
import sys
path = sys.argv[1]
data = open(path, "rb").read().replace(b"XXXXXXXXXXXXXXXXXX", b"/tmp/ef2-absolute1")
open(path, "wb").write(data)
PY
# A link to /etc/passwd.
(cd build && ln -s /etc/passwd passwd-link && zip -q -y "$work/site/link.zip" passwd-link)
# 300 MiB of zeros (a few hundred kilobytes packed).
(cd build && head -c 300M /dev/zero > zeros.ef2 && zip -q "$work/site/zeros.zip" zeros.ef2 && rm zeros.ef2)

python3 "$here/mod_server.py" "$work/site" port.txt requests.log &
server_pid=$!
for _ in $(seq 100); do [ -s port.txt ] && break; sleep 0.05; done
port=$(cat port.txt)
base="http://127.0.0.1:$port"
local_base="webdls/127.0.0.1:$port"
run_within() {
  local seconds=$1
  shift
  timeout "$seconds" "$program" --headless --steps 0 --no-network --workdir "$work/toy" "$@" 2>&1
}
run() { run_within 120 "$@"; }
requests() { grep -c -x "$1" requests.log || true; }

# A web address on the command line is downloaded once, byte for byte, and
# the copy is used afterwards; '!' fetches it again; '?' is stored as '@'.
run "$base/m.ef2" | grep -qx "\[MOD\] 1" || fail "the downloaded mod did not run"
cmp -s site/m.ef2 "toy/$local_base/m.ef2" || fail "the downloaded copy differs"
run "$base/m.ef2" > /dev/null
[ "$(requests /m.ef2)" = 1 ] || fail "an existing copy was downloaded again: $(cat requests.log)"
run "$base/m.ef2!" > /dev/null
[ "$(requests /m.ef2)" = 2 ] || fail "'!' did not download again"
run "$base/m.ef2?v=1" > /dev/null
[ -f "toy/$local_base/m.ef2@v=1" ] || fail "a query was not stored with '@'"

# A package "name.ef2.zip" is downloaded, unpacked into its folder, and
# "name.ef2" from it runs.
out=$(run "$base/pack.ef2.zip")
grep -qx "\[FROM_PACKAGE\] 7" <<< "$out" || fail "the package's script did not run: $out"
[ -f "toy/$local_base/extra/more.ef2" ] || fail "the package was not unpacked into its folder"

# Failures leave nothing behind and say why.
check_failure() {
  local path=$1 reason=$2 out
  out=$(run "$base/$path")
  grep -q "Download of \"$base/$path\" failed: .*$reason" <<< "$out" || fail "$path: $out"
  [ -z "$(find toy -newer stamp -name "$path*" -o -newer stamp -name ".$path*")" ] || fail "$path left a file"
}
touch stamp
check_failure missing.ef2 "404"
check_failure big "larger than 64 MiB"
check_failure redirect-file "file"
check_failure redirect-loop "redirect"
[ -z "$(find toy -newer stamp -type f ! -name console.txt)" ] || fail "failed downloads left files: $(find toy -newer stamp -type f)"

# Bad packages are refused whole, and nothing is written outside (or inside).
for package in climb absolute link zeros; do
  touch stamp
  out=$(run "$base/$package.zip")
  grep -q "Refused package \"$local_base/$package.zip\"" <<< "$out" || fail "$package.zip: $out"
  written=$(find "$work" /tmp/ef2-absolute1 -newer stamp -type f ! -path "*/webdls/*/$package.zip" \
            ! -name requests.log ! -name console.txt 2>/dev/null || true)
  [ -z "$written" ] || fail "$package.zip wrote $written"
done
[ ! -e /tmp/ef2-absolute1 ] || fail "the absolute entry was written"

# 9,999 one-byte entries 500 folders deep: each would be walked to folder by
# folder several times (minutes). Refused before anything is written.
python3 - site/deep.zip <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as package:
    for i in range(9999):
        package.writestr("a/" * 500 + "f%d" % i, b"x")
PY
touch stamp
out=$(run_within 30 "$base/deep.zip") || fail "the deep package took too long or failed (status $?): ${out:0:300}"
grep -q "Refused package \"$local_base/deep.zip\": folders nested too deep" <<< "$out" ||
  fail "deep.zip: $out"
[ -z "$(find toy -newer stamp ! -name deep.zip ! -name console.txt ! -type d)" ] ||
  fail "deep.zip wrote files"

# Names that would leave webdls are refused; a forbidden name on the command
# line ends the program with status 1.
out=$(run "http://127.0.0.1:$port/../../config.ef2" || true)
grep -q "Refused" <<< "$out" || fail "a climbing link was not refused: $out"
set +e
run "notepad.ef2" > /dev/null; status=$?
set -e
[ "$status" = 1 ] || fail "a forbidden command-line name ended with $status"

# A mod link asks first: headless without --assume-yes the answer is no.
out=$(run "ef2mod://127.0.0.1:$port/m.ef2!")
grep -q "Would you like to run this mod?" <<< "$out" || fail "no question for the mod link"
grep -qx "\[MOD\] 1" <<< "$out" && fail "a declined mod ran"
out=$(timeout 60 "$program" --headless --steps 0 --no-network --assume-yes --workdir "$work/toy" "ef2mod://127.0.0.1:$port/m.ef2" 2>&1)
grep -qx "\[MOD\] 1" <<< "$out" || fail "an accepted mod did not run: $out"

# Escapes in links are decoded (upper-case hex only).
printf 'SET SPACED 1\nGET SPACED\n' > "toy/no eol.ef2"
printf 'INCLUDE no%%20eol.ef2\nINCLUDE no%%2a.ef2\n' > toy/escapes.ef2
out=$(run "$work/toy/escapes.ef2")
grep -qx "\[SPACED\] 1" <<< "$out" || fail "%20 was not decoded: $out"
grep -qF 'Error opening file "no%2a.ef2"' <<< "$out" || fail "a lower-case escape was decoded: $out"

# A downloaded page of a million nested code blocks would hand over its rest
# once per block; the loader skips what overlaps and goes on in good time.
python3 -c 'import sys; open(sys.argv[1], "w").write("<html>" + "<pre>" * 1000000 + "</pre>")' site/nested.ef2
out=$(run_within 30 "$base/nested.ef2") || fail "the nested page took too long or failed (status $?): ${out:0:300}"
grep -qF "Skipped nested code blocks of \"$local_base/nested.ef2\"" <<< "$out" ||
  fail "nested page: ${out:0:300}"

# A stalled server is given up on.
touch stamp
out=$(run "$base/stall")
grep -q "Download of \"$base/stall\" failed" <<< "$out" || fail "stall: $out"
[ -z "$(find toy -newer stamp -type f ! -name console.txt)" ] || fail "the stalled download left a file"
echo "mods: ok"
