#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default -j2
# The Windows DLL and the Windows test program, run under Wine (uses the native build above for
# the reference frames).
scripts/windows-tests.sh
