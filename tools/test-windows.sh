#!/usr/bin/env bash
# The Windows side of tools/run-tests.sh: Qt for Windows (built once, then cached), the
# program and its tests cross-built with mingw-w64 (warnings are errors), the suite run under
# wine in a throw-away prefix, a check that no test touched the user's own settings key, and
# the installer (build/windows/brindora-<version>-win64.exe).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/build-qt-windows.sh
cmake --preset windows -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build --preset windows -j "$(nproc)"
# The installer first: the end-to-end tests install it.
(cd build/windows && cpack -G NSIS >/dev/null)
ls -l build/windows/brindora-*-win64.exe

export WINEPREFIX=$PWD/build/windows/wine-prefix WINEDEBUG=-all
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
rm -rf "$WINEPREFIX"
# Qt's Windows side makes windows even offscreen (its event loop's among them), and wine makes
# them on an X display: the suite gets one of its own.
xvfb_ready=$(mktemp -u)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$xvfb_ready" >/dev/null 2>&1 &
xvfb=$!
trap '"$wineserver" -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -f "$xvfb_ready"' EXIT
for _ in $(seq 100); do [ -s "$xvfb_ready" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$xvfb_ready")

echo "test-windows: making a wine prefix"
if ! timeout 600 "$wine" wineboot --init >build/windows/wineboot.log 2>&1 ||
    ! timeout 600 "$wineserver" -w; then
    echo "test-windows: wine can't start here (see build/windows/wineboot.log)" >&2
    exit 1
fi
# One wine server for the whole run: every test program starts faster, and wine's first
# program after a server start sometimes loses its standard output.
"$wineserver" -p </dev/null >/dev/null 2>&1

ctest --preset windows -j 2

# The tests kept to keys of their own; the user's (here the throw-away prefix's) is untouched.
if "$wine" reg query 'HKCU\Software\Pellwyn' >/dev/null 2>&1; then
    echo "test-windows: a test wrote into HKCU\\Software\\Pellwyn, the user's own settings" >&2
    exit 1
fi
echo "test-windows: HKCU\\Software\\Pellwyn untouched by the tests"

