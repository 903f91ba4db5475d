#!/usr/bin/env bash
# Builds the Qt the Windows build links against: Debian's own qtbase source, the same version
# as the host tools in qt6-base-dev-tools, cross-compiled with mingw-w64 into a cache outside
# the repository, and reused from there when it is already built. Only what the program and
# its tests use is built (Core, Gui, Widgets, Network, Test, the windows and offscreen
# platform plugins, the Windows style); the rest is switched off.
# Takes about 20 minutes of a 2-core machine the first time.
# Usage: tools/build-qt-windows.sh   (prints the Qt prefix on its last line)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null || true)
if [ -z "$version" ]; then
    echo "build-qt-windows: qt6-base-dev-tools is not installed; run tools/install-deps.sh" >&2
    exit 1
fi
upstream=${version%%+*}
upstream=${upstream%%-*}
prefix=${BRINDORA_QT_WINDOWS:-${XDG_CACHE_HOME:-$HOME/.cache}/brindora/qt-$upstream-mingw}
stamp=$prefix/.brindora-built
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ]; then
    echo "build-qt-windows: Qt $upstream for Windows is already built"
    echo "$prefix"
    exit 0
fi

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
work=$prefix.build
"${sudo[@]}" true
mkdir -p "$work"

# apt reaches source packages once the machine's own Debian archive lists them too: the same
# entries as for binaries, with deb-src.
if ! apt-get source --download-only --print-uris "qt6-base=$version" >/dev/null 2>&1; then
    echo "build-qt-windows: enabling source entries for the machine's Debian archive"
    sources=/etc/apt/sources.list.d/brindora-deb-src.sources
    : | "${sudo[@]}" tee "$sources" >/dev/null
    for file in /etc/apt/sources.list.d/*.sources; do
        [ "$file" = "$sources" ] && continue
        grep -q '^URIs:.*debian' "$file" || continue
        sed -n '/^Types:/,/^$/p' "$file" | sed 's/^Types:.*/Types: deb-src/' |
            "${sudo[@]}" tee -a "$sources" >/dev/null
    done
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        sed -n 's/^deb \(.*debian.*\)$/deb-src \1/p' "$file" |
            "${sudo[@]}" tee -a "${sources%.sources}.list" >/dev/null
    done
    "${sudo[@]}" apt-get update -qq
fi

orig=$(ls "$work"/qt6-base_"$upstream"*.orig.tar.xz 2>/dev/null | head -n 1 || true)
if [ -z "$orig" ]; then
    echo "build-qt-windows: fetching the source of qt6-base $version"
    (cd "$work" && apt-get source --download-only -qq "qt6-base=$version")
    orig=$(ls "$work"/qt6-base_"$upstream"*.orig.tar.xz | head -n 1)
fi
source=$work/qtbase-src
if [ ! -f "$source/CMakeLists.txt" ]; then
    echo "build-qt-windows: unpacking $(basename "$orig")"
    rm -rf "$source"
    mkdir -p "$source"
    tar -xJf "$orig" -C "$source" --strip-components=1
    for patch in "$repo"/tools/qt-windows-patches/*.patch; do
        [ -f "$patch" ] || continue
        patch -d "$source" -p1 <"$patch"
    done
fi

# The toolchain file goes with the build, so Qt's generated toolchain file can always find it.
mkdir -p "$prefix"
cp "$repo/cmake/mingw-w64.cmake" "$prefix/mingw-w64.cmake"

echo "build-qt-windows: configuring Qt $upstream for x86_64-w64-mingw32 into $prefix"
# Notes on the options: the +dfsg tarball has no Wintab headers (tablet events off); without
# OpenGL, dynamic GL must be switched off by its input; the windows plugin's font database
# needs Direct2D; the bundled FreeType gives the offscreen plugin the tests use.
cmake -S "$source" -B "$work/build" -G Ninja --log-level=WARNING \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_openssl=OFF -DFEATURE_icu=OFF \
    -DFEATURE_vulkan=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no \
    -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=ON \
    -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF \
    >"$work/configure.log"

echo "build-qt-windows: building (about 1,250 steps; the compiler's output goes to $work/build.log)"
# Ninja's status line, one in every 50, so a long build shows it moving; the compiler's own
# output (Qt's sources warn a lot under mingw) only when the build fails.
# The log exists before the build and its reader start, and the build never outlives the script.
: >"$work/build.log"
NINJA_STATUS='[%f/%t %es] ' cmake --build "$work/build" -j "$(nproc)" >"$work/build.log" 2>&1 &
builder=$!
trap 'kill -- "$builder" 2>/dev/null; pkill -P "$builder" 2>/dev/null; wait "$builder" 2>/dev/null' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
tail -n +1 -f "$work/build.log" --pid=$builder |
    awk '/^\[[0-9]+\/[0-9]+ / { if (++n % 50 == 0) { print $1, $2; fflush() } }'
if ! wait $builder; then
    tail -n 40 "$work/build.log" >&2
    echo "build-qt-windows: the Qt build failed; all its output is in $work/build.log" >&2
    exit 1
fi
trap - EXIT
cmake --install "$work/build" >/dev/null
echo "$version" >"$stamp"
rm -rf "$work"
echo "build-qt-windows: Qt $upstream for Windows built ($(du -sh "$prefix" | cut -f1))"
echo "$prefix"
