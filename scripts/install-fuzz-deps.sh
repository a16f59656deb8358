#!/usr/bin/env bash
# Installs what the fuzz build needs beyond scripts/install-deps.sh: clang
# with libFuzzer and the sanitizer runtimes. Idempotent and quiet, like it.
set -euo pipefail

packages=(clang-14 libclang-rt-14-dev llvm-14)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-fuzz-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
