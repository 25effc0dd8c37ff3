#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Avifold need, when
# any of them is missing. Safe to run again: it does nothing when all are there.
# With package names as arguments it installs those instead (the Windows and browser
# build scripts name theirs).
set -euo pipefail

# g++ builds the plain preset, clang the sanitizer one; clang's sanitizer runtimes are only
# recommended by it, and --no-install-recommends skips them, so they are named here.
packages=(
  g++ clang libclang-rt-14-dev
  cmake make libgtest-dev libbenchmark-dev freeglut3-dev libglu1-mesa-dev
  libgl1-mesa-dri python3 dpkg-dev file
  xvfb xdotool x11-apps x11-utils x11-xserver-utils imagemagick
  xserver-xorg-core xserver-xorg-video-dummy libfaketime
)
[ $# -gt 0 ] && packages=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
