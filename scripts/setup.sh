#!/usr/bin/env bash
# Installs every Debian package Framewright needs to build, test and benchmark.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config ccache git
  clang libclang-rt-14-dev
  # libraries the program links
  zlib1g-dev libpng-dev libjpeg62-turbo-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # Qt's own dialogs in Chinese, and a font that has the interface's Chinese texts
  qt6-translations-l10n fonts-noto-cjk
  # packaging: the .deb's library dependencies and the checks of its desktop files
  dpkg-dev file desktop-file-utils appstream
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  libgif-dev giflib-tools gifsicle imagemagick ffmpeg libimagequant-dev icoutils apngdis
  python3 python3-pil python3-numpy
  # screenshots of the interface in a virtual display
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
