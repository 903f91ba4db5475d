if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/Packagingwindows.cmake)
    return()
endif()

# A Debian package of what "cmake --install" puts in place: cpack -G DEB in a build tree.
# Its dependencies come from the program's shared libraries (dpkg-shlibdeps, in dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brindora)
set(CPACK_PACKAGE_VENDOR Orvid)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remote control for a networked audio server")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvid <brindora@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.example.org/brindora/)
set(CPACK_PACKAGE_DESCRIPTION
    "Brindora Control keeps one connection to a networked audio server, sends it
previous, play, stop, next and shuffle, and shows the current song's title, its
running time and whether shuffle is on. It waits in the notification area, and
the desktop's media keys and media panels control it as a media player.")
# Qt finds its display plugins at run time, so no library names them; without them the
# program cannot open a window.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)

include(CPack)
