#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# Usage: tools/run-tests.sh [preset]   (dev by default; asan-ubsan and tsan also work)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}

tools/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j 2
