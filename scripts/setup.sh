#!/usr/bin/env bash
# Installs what the build needs when it is missing (Debian packages).
set -euo pipefail
need=()
have() { dpkg -s "$1" >/dev/null 2>&1; }
for pkg in cmake ninja-build g++ pkg-config googletest libgtest-dev libbenchmark-dev \
           libopenimageio-dev nlohmann-json3-dev libcli11-dev binutils-mingw-w64-x86-64 \
           g++-mingw-w64-x86-64 python3 wine wine64 xvfb xauth imagemagick locales \
           fonts-wqy-microhei slurm-wlm munge; do
  have "$pkg" || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >/dev/null
fi
