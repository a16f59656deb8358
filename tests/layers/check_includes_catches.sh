#!/usr/bin/env bash
# The include check fails on a copy of the sources in which a lower layer
# includes a higher one, and names the file.
set -euo pipefail
check=${1:?usage: check_includes_catches.sh CHECK SRC_FOLDER}
src=${2:?usage: check_includes_catches.sh CHECK SRC_FOLDER}
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp -r "$src" "$copy/src"
"$check" "$copy/src" >/dev/null || { echo "the check fails on the unchanged sources"; exit 1; }
for case in "script/parser.cpp world/world.h" "world/world.cpp io/world_files.h" "io/world_png.cpp ui/view.h" \
            "platform/paths.cpp io/script_file.h" "ui/text.cpp statements/statement.h" \
            "ui/text.cpp app/runtime.h"; do
    read -r file header <<<"$case"
    rm -rf "$copy/src" && cp -r "$src" "$copy/src"
    echo "#include \"$header\"" >>"$copy/src/$file"
    if output=$("$check" "$copy/src"); then
        echo "not caught: $file including $header"
        exit 1
    fi
    grep -qF "$file includes $header" <<<"$output" || { echo "caught, but not named: $output"; exit 1; }
done
echo "every upward include was caught"
