#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if any are missing.
set -euo pipefail

packages=(cmake ninja-build ccache g++ clang-format qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev fonts-dejavu-core
          xvfb xauth x11-utils xdotool
          # the end-to-end test: a private session bus, AT-SPI read from Python, screenshots
          dbus-daemon dbus-bin at-spi2-core python3 python3-gi gir1.2-atspi-2.0 imagemagick
          # the tray tests: a window manager whose task bar holds tray icons, a StatusNotifierItem
          # host, and a headless Wayland compositor with Qt's Wayland platform
          icewm wmctrl lxqt-panel weston qt6-wayland
          # the install test checks the menu entries
          desktop-file-utils
          # the Debian package and its test: dependencies, AppStream data, the manual page
          dpkg-dev appstream man-db
          # the package test runs Debian's own package checker on it
          lintian
          # the media player test drives the program with a real client and watches the bus
          playerctl libglib2.0-bin
          # the benchmarks (bench/): Google Benchmark, and xcb found through pkg-config
          libbenchmark-dev pkg-config
          # the fuzz preset (clang with libFuzzer), the Windows cross compile and its test run
          clang-14 libclang-rt-14-dev g++-mingw-w64-x86-64-posix wine64
          # the Windows build: Qt's source comes through apt (tools/build-qt-windows.sh), its
          # build needs xz to unpack it and its installer is made with NSIS
          xz-utils nsis
          # the link test that drops a server's packets in a network of its own
          iproute2 nftables)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
