#!/usr/bin/env bash
# Keeps the Windows side of the sources that need no Qt compiling: the token scanner and the
# Winsock branch of the sockets seam, built with Debian's mingw-w64 cross compiler. Warnings
# are errors, so a Windows-only slip fails here rather than on someone's Windows machine.
# Installs nothing (tools/install-deps.sh does); objects go to a scratch folder.
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

# Vista is the oldest Windows with WSAPoll, which the connect wait uses.
flags=(-std=c++17 -Wall -Wextra -Wpedantic -Werror -D_WIN32_WINNT=0x0600 -Ilink)
sources=(link/Netutil.cpp)
# Strutil is header-only: compiling a file that includes it is all it takes.
echo '#include "Strutil.h"' | "$compiler" "${flags[@]}" -fsyntax-only -x c++ -

mkdir -p "$out"
for source in "${sources[@]}"; do
    object="$out/$(basename "${source%.cpp}").obj"
    "$compiler" "${flags[@]}" -c "$source" -o "$object"
done
echo "cross-windows: link/Strutil.h and ${sources[*]} compile for Windows with $compiler"
