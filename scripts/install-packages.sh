#!/usr/bin/env bash
# Installs the Debian packages named after LABEL that are missing. Idempotent
# and quiet: packages already present are not touched, and the package lists
# are refreshed only when something is missing. LABEL starts the one line it
# prints when it installs.
#
#   scripts/install-packages.sh LABEL PACKAGE...
set -euo pipefail

label=${1:?usage: install-packages.sh LABEL PACKAGE...}
shift

missing=()
for package in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "$label: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
