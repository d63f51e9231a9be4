#!/usr/bin/env bash
# Installs everything needed to build, run and test easel and its programs on Debian 12.
# Run as root (or through sudo).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  g++ clang cmake ninja-build pkg-config git \
  libsdl2-dev libgl-dev libglu1-mesa-dev libx11-dev libfreetype-dev libfontconfig-dev \
  libpng-dev libgif-dev dpkg-dev file \
  libgtest-dev libgmock-dev libbenchmark-dev \
  xvfb xauth x11-utils x11-apps xdotool imagemagick python3 python3-xlib \
  libgl1-mesa-dri libglx-mesa0 libegl-mesa0 fontconfig fonts-liberation fonts-dejavu-core \
  > /dev/null
