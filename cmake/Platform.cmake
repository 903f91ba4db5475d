# What the platform being built for offers beyond Qt's core modules, said once for every folder.
# Windows has no session bus (so no media player on it and no StatusNotifierItem hosts to look
# for) and no X server (so no XEmbed tray selection to watch): those sources are left out there.
if(WIN32)
    set(BRINDORA_HAVE_DBUS OFF)
    set(BRINDORA_HAVE_XCB OFF)
else()
    find_package(Qt6 REQUIRED COMPONENTS DBus)
    set(BRINDORA_HAVE_DBUS ON)
    set(BRINDORA_HAVE_XCB OFF)
    if(NOT APPLE)
        find_library(XCB_LIBRARY xcb)
        find_path(XCB_INCLUDE_DIR xcb/xcb.h)
        if(XCB_LIBRARY AND XCB_INCLUDE_DIR)
            set(BRINDORA_HAVE_XCB ON)
        endif()
    endif()
endif()
