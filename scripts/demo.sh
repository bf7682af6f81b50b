#!/usr/bin/env bash
# Builds the command line and the plug-in (not the tests) and runs the main job: renders the
# built-in scene to demo.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --command-line
cmake --preset default >/dev/null
cmake --build --preset default --target motefield
./build/motefield demo -o demo.png "$@"
