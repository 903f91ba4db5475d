#!/usr/bin/env bash
# Runs a program of the Windows build under wine, with Qt's DLLs and the compiler's runtime
# DLLs on wine's PATH: the build's emulator for tests (cmake/windows.cmake) and for trying the
# program by hand. The wine prefix is WINEPREFIX (the windows test preset points it into the
# build tree), never the user's own ~/.wine unless they ask for it.
# With --qtest first, the program is a QtTest program: its results go to a file that is then
# printed, as wine sometimes loses a program's standard output just after its server starts.
# Without it the program keeps the caller's standard streams (a server's banner is read live).
# Under ctest, the display is the one tools/wine-session.sh started for the run
# (BRINDORA_WINE_SESSION names its folder) unless DISPLAY is set.
# Usage: tools/wine-run.sh [--qtest] program.exe [arguments...]
set -euo pipefail
qtest=
if [ "${1:-}" = --qtest ]; then
    qtest=1
    shift
fi
program=$1
shift

qt=${BRINDORA_QT_WINDOWS:-${XDG_CACHE_HOME:-$HOME/.cache}/brindora/qt-6.4.2-mingw}
windows_path() { local path; path=$(realpath -m "$1"); echo "Z:${path//\//\\}"; }
folders=$(windows_path "$qt/bin")
for dll in libstdc++-6.dll libwinpthread-1.dll; do
    folders+=";$(windows_path "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)")")"
done
export WINEPATH="$folders${WINEPATH:+;$WINEPATH}"
export WINEDEBUG=${WINEDEBUG:--all}
if [ -z "${DISPLAY:-}" ] && [ -s "${BRINDORA_WINE_SESSION:-/nonexistent}/display" ]; then
    DISPLAY=$(cat "$BRINDORA_WINE_SESSION/display")
    export DISPLAY
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "wine-run: DISPLAY is empty: a program that makes windows (Qt's always do) fails" \
        "or hangs under wine without an X display (start Xvfb and set DISPLAY)" >&2
fi
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine

if [ -z "$qtest" ]; then
    exec "$wine" "$program" "$@"
fi
# Everything the program prints goes through files: a wine service it starts on the way
# (the desktop, the console host) would otherwise inherit the caller's pipes and keep them
# open after the program has ended, and a test runner waits for them.
result=$(mktemp "${TMPDIR:-/tmp}/qtest-XXXXXX.txt")
output=$(mktemp "${TMPDIR:-/tmp}/qtest-XXXXXX.out")
trap 'rm -f "$result" "$output"' EXIT
status=0
"$wine" "$program" "$@" -o "$(windows_path "$result"),txt" </dev/null >"$output" 2>&1 || status=$?
cat "$output" "$result"
exit "$status"
