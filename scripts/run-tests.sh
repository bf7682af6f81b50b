#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# MOTEFIELD_WERROR=ON (as CI sets it) fails the build on any compiler warning.
cmake --preset default ${MOTEFIELD_WERROR:+-DMOTEFIELD_WERROR=$MOTEFIELD_WERROR} >/dev/null
cmake --build --preset default
ctest --preset default -j2
# The Windows DLL and the Windows test program, run under Wine (uses the native build above for
# the reference frames).
scripts/windows-tests.sh
