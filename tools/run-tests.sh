#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# Usage: tools/run-tests.sh [preset]   (dev by default; asan-ubsan, tsan and fuzz also work)
# Without a preset it also runs the fuzz targets for a minute each, compiles the Windows side
# of the sockets seam with mingw-w64 and runs its Windows test program under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}

tools/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j 2

if [ $# -eq 0 ]; then
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz -j "$(nproc)"
    ctest --preset fuzz -j 2
    tools/cross-windows.sh
fi
