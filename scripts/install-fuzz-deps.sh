#!/usr/bin/env bash
# Installs what the fuzz build needs beyond scripts/install-deps.sh: clang
# with libFuzzer and the sanitizer runtimes. Idempotent and quiet, like it.
set -euo pipefail

packages=(clang-14 libclang-rt-14-dev llvm-14)

exec "$(dirname "$0")/install-packages.sh" install-fuzz-deps "${packages[@]}"
