#!/usr/bin/env bash
# Fails when a file includes a header of a layer above its own. The layers,
# lowest first (README, Layout): script; world; platform; io; ui; statements
# and app. A folder may include its own headers and those of the layers below.
set -euo pipefail
src=${1:?usage: check_includes.sh SRC_FOLDER}
cd "$src"
shopt -s nullglob

# Includes that still point up, each named by file and header (none left).
# Nothing may be added here.
known_upward="
"

# shellcheck disable=SC2035
grep -HE '^#include "[a-z_]+/' */*.h */*.cpp | awk -v known="$known_upward" '
BEGIN {
    rank["script"] = 1; rank["world"] = 2; rank["platform"] = 3; rank["io"] = 4; rank["ui"] = 5
    rank["statements"] = 6; rank["app"] = 6
    n = split(known, lines, "\n")
    for (i = 1; i <= n; i++) if (lines[i] != "") { allowed[lines[i]] = 1; unused[lines[i]] = 1 }
}
{
    file = substr($0, 1, index($0, ":") - 1)
    layer = substr(file, 1, index(file, "/") - 1)
    header = $0; sub(/^[^:]*:#include "/, "", header); sub(/".*/, "", header)
    included = substr(header, 1, index(header, "/") - 1)
    if (!(layer in rank)) { stray[layer] = 1; next }
    if (!(included in rank)) { print file " includes " header ", which is in no layer"; status = 1; next }
    if (rank[included] <= rank[layer]) next
    if ((file " " header) in allowed) { delete unused[file " " header]; next }
    print file " includes " header ", a layer above " layer "/"
    status = 1
}
END {
    for (layer in stray) { print "src/" layer " is in no layer: add it to README Layout and to this check"; status = 1 }
    # A known upward include that is gone is struck from the list: a note, not
    # a failure, so that removing the include is one change.
    for (entry in unused) print "note: " entry " is gone: strike it from known_upward"
    if (!status) print "every include points down or sideways"
    exit status
}'
