#!/usr/bin/env bash
# clang-tidy over the plug-in's folders with the checks in .clang-tidy; any finding fails.
# Usage: scripts/tidy.sh [BUILD_DIR]   (a configured build with compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
command -v clang-tidy >/dev/null || { echo "clang-tidy is not installed (scripts/setup.sh)"; exit 1; }
# The plug-in's narrow literals are compiled to GBK by GCC; clang knows only UTF-8, and the
# checks do not depend on it.
db=$(mktemp -d)
trap 'rm -rf "$db"' EXIT
sed 's/ -fexec-charset=GBK//g' "$build/compile_commands.json" >"$db/compile_commands.json"
# The drawing path is free of C-style casts and must stay so; elsewhere they are only reported.
drawing="raster/*.cpp render/PointDrawing.cpp"
rest=$(ls entry/*.cpp support/*.cpp params/*.cpp render/*.cpp ui/*.cpp | grep -v '^render/PointDrawing.cpp$')
# shellcheck disable=SC2086
clang-tidy -p "$db" --quiet --warnings-as-errors=google-readability-casting $drawing
# shellcheck disable=SC2086
clang-tidy -p "$db" --quiet $rest
