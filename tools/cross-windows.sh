#!/usr/bin/env bash
# Keeps the Windows side of the sources that need no Qt compiling and working: the token
# scanner and the Winsock branch of the sockets seam, built with Debian's mingw-w64 cross
# compiler (warnings are errors, so a Windows-only slip fails here rather than on someone's
# Windows machine), then the seam's Windows test program run under wine. Where wine is missing
# or can't start, only that run is skipped, and the script says so.
# Installs nothing (tools/install-deps.sh does); everything goes to a scratch folder, the
# throw-away wine prefix too.
# Usage: tools/cross-windows.sh [output folder]   (build/cross-windows by default)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/cross-windows}

compiler=
for candidate in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++; do
    if command -v "$candidate" >/dev/null; then
        compiler=$candidate
        break
    fi
done
if [ -z "$compiler" ]; then
    echo "cross-windows: no mingw-w64 C++ compiler; run tools/install-deps.sh" >&2
    exit 1
fi

# Vista is the oldest Windows the seam's calls all exist on.
flags=(-std=c++17 -Wall -Wextra -Wpedantic -Werror -D_WIN32_WINNT=0x0600 -Ilink)
sources=(link/Netutil.cpp)
# Strutil is header-only: compiling a file that includes it is all it takes.
echo '#include "Strutil.h"' | "$compiler" "${flags[@]}" -fsyntax-only -x c++ -

mkdir -p "$out"
for source in "${sources[@]}"; do
    object="$out/$(basename "${source%.cpp}").obj"
    "$compiler" "${flags[@]}" -c "$source" -o "$object"
done
# Linked statically, so wine needs none of the cross compiler's own DLLs.
test_program="$out/tst_netutil.exe"
"$compiler" "${flags[@]}" -static tests/link/tst_netutil.cpp "$out/Netutil.obj" \
    -lws2_32 -o "$test_program"
echo "cross-windows: link/Strutil.h and ${sources[*]} compile for Windows with $compiler"

wine=/usr/lib/wine/wine64
if [ ! -x "$wine" ]; then
    echo "cross-windows: wine64 is not installed; the Windows sockets test did NOT run"
    exit 0
fi
export WINEPREFIX="$PWD/$out/wine-prefix" WINEDEBUG=-all
rm -rf "$WINEPREFIX"
# Making a prefix takes a while; it is made once per run.
if ! timeout 600 "$wine" wineboot --init >"$out/wineboot.log" 2>&1; then
    echo "cross-windows: wine can't start here (see $out/wineboot.log); the Windows sockets" \
        "test did NOT run"
    exit 0
fi
echo "cross-windows: running $test_program under wine"
status=0
timeout 120 "$wine" "$test_program" || status=$?
/usr/lib/wine/wineserver -k 2>/dev/null || true
if [ "$status" -eq 124 ]; then
    echo "cross-windows: the Windows sockets test hung (a wait that never ended)" >&2
fi
exit "$status"
