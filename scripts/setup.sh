#!/usr/bin/env bash
# Installs what the build needs when it is missing (Debian packages). With --command-line, only
# what the command line and the plug-in need (the demo), not the Windows checks' tools nor the
# one-node cluster the farm test starts. With --fuzz, also what the fuzz targets need: clang with
# its libFuzzer and sanitizer runtimes.
set -euo pipefail
need=()
have() { dpkg -s "$1" >/dev/null 2>&1; }
packages=(cmake ninja-build g++ pkg-config googletest libgtest-dev libopenimageio-dev
          nlohmann-json3-dev libcli11-dev binutils-mingw-w64-x86-64 gcc-mingw-w64-x86-64
          python3)
if [ "${1:-}" != "--command-line" ]; then
  packages+=(libbenchmark-dev g++-mingw-w64-x86-64 wine wine64 xvfb xauth imagemagick
             locales fonts-wqy-microhei slurm-wlm munge clang-tidy)
fi
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi
for pkg in "${packages[@]}"; do
  have "$pkg" || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >/dev/null
fi
