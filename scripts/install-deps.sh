#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing the panel need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
  fonts-wqy-zenhei qt6-translations-l10n adwaita-qt6
  xvfb xauth xdotool
  dpkg-dev desktop-file-utils
  poppler-utils cups cups-client printer-driver-cups-pdf
  clang-14 libclang-rt-14-dev
  python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
