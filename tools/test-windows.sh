#!/usr/bin/env bash
# The Windows side of tools/run-tests.sh: Qt for Windows (built once, then cached), the
# program and its tests cross-built with mingw-w64 (warnings are errors), the suite run under
# wine in a throw-away prefix, a check that no test touched the user's own settings key or
# log-on entries, and the installer (build/windows/brindora-<version>-win64.exe).
set -euo pipefail
cd "$(dirname "$0")/.."

# Each step's time goes into the log: from an empty cache, Qt's build is most of the run.
took() { echo "test-windows: $1 took $((SECONDS - mark)) s"; mark=$SECONDS; }
mark=$SECONDS
tools/build-qt-windows.sh
took "Qt for Windows"
cmake --preset windows -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build --preset windows -j "$(nproc)"
# The installer first: the end-to-end tests install it.
(cd build/windows && cpack -G NSIS >/dev/null)
ls -l build/windows/brindora-*-win64.exe
took "the program, its tests and the installer"

export WINEPREFIX=$PWD/build/windows/wine-prefix WINEDEBUG=-all
rm -rf "$WINEPREFIX"
# ctest starts wine's session (tools/wine-session.sh) on a display of its own, never the
# caller's, and stops it at the end; a run stopped half-way has it stopped here.
trap 'tools/wine-session.sh stop build/windows/wine-session' EXIT
unset DISPLAY
ctest --preset windows -j 2
took "the suite under wine"

# The tests kept to keys of their own; the user's (here the throw-away prefix's) is untouched.
# Asked of a key that is there first, so that a wine that can't answer is not taken for "no".
wine=/usr/lib/wine/wine64
if ! "$wine" reg query 'HKCU\Software' >/dev/null 2>&1; then
    echo "test-windows: wine's reg could not read the prefix's registry" >&2
    exit 1
fi
if "$wine" reg query 'HKCU\Software\Pellwyn' >/dev/null 2>&1; then
    echo "test-windows: a test wrote into HKCU\\Software\\Pellwyn, the user's own settings" >&2
    exit 1
fi
run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
if "$wine" reg query "$run" /v 'Brindora Control' >/dev/null 2>&1; then
    echo "test-windows: a test left a log-on entry in $run, the user's own" >&2
    exit 1
fi
echo "test-windows: HKCU\\Software\\Pellwyn and the user's log-on entries untouched by the tests"

