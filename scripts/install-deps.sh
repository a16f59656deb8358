#!/usr/bin/env bash
# Installs the Debian packages Emberfall 2 needs to build, test and run.
# Idempotent and quiet: packages already present are not touched, and the
# package lists are refreshed only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libsdl2-ttf-dev
  libpng-dev libcurl4-openssl-dev libzip-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
  xvfb xauth xdotool x11-utils imagemagick
  xfonts-base
  netcat-openbsd telnet curl iproute2 python3
  zip xdg-utils desktop-file-utils libglib2.0-bin
)

exec "$(dirname "$0")/install-packages.sh" install-deps "${packages[@]}"
