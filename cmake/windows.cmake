# The Windows build: mingw-w64 with the Qt that tools/build-qt-windows.sh cross-built into the
# user's cache, through the toolchain file Qt generated for it (only that one lets find_package
# see Qt's prefix past the cross root). Tests run under wine.
set(BRINDORA_QT_WINDOWS "$ENV{BRINDORA_QT_WINDOWS}")
if(NOT BRINDORA_QT_WINDOWS)
    set(_cache "$ENV{XDG_CACHE_HOME}")
    if(NOT _cache)
        set(_cache "$ENV{HOME}/.cache")
    endif()
    set(BRINDORA_QT_WINDOWS "${_cache}/brindora/qt-6.4.2-mingw")
endif()
set(_qt_toolchain "${BRINDORA_QT_WINDOWS}/lib/cmake/Qt6/qt.toolchain.cmake")
if(NOT EXISTS "${_qt_toolchain}")
    message(FATAL_ERROR "No Qt for Windows in ${BRINDORA_QT_WINDOWS}: "
        "run tools/build-qt-windows.sh (or set BRINDORA_QT_WINDOWS to its prefix)")
endif()
set(QT_CHAINLOAD_TOOLCHAIN_FILE "${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake")
include("${_qt_toolchain}")

# Test programs (and anything else CMake runs that was built here) start through wine, with
# Qt's DLLs and the compiler's runtime found on wine's PATH.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh")
