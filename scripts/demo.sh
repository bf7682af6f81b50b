#!/usr/bin/env bash
# Builds everything and runs the main job: renders the built-in scene to demo.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
./build/motefield demo -o demo.png "$@"
