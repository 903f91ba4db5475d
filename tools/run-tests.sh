#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# Usage: tools/run-tests.sh [preset]   (dev by default; asan-ubsan, tsan, fuzz and windows too)
# Without a preset it also runs the fuzz targets for a minute each. The windows preset builds
# Qt for Windows once (cached outside the repository), the program and its tests with
# mingw-w64, runs the suite under wine in a throw-away prefix and makes the installer.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}

tools/install-deps.sh
if [ "$preset" = windows ]; then
    exec tools/test-windows.sh
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j 2

if [ $# -eq 0 ]; then
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz -j "$(nproc)"
    ctest --preset fuzz -j 2
fi
