# The Windows installer: cpack -G NSIS in the windows build gives brindora-<version>-win64.exe
# with the program, the Qt libraries and the two plugins it loads (the windows platform and its
# native style), the compiler's runtime, the guide and the icon, a Start-menu entry and an
# uninstaller; cpack -G ZIP packs the same files as a portable zip. The user's settings in the
# registry are theirs: the uninstaller leaves them. The installer's script is the project's own
# (NSIS.template.in here, found as CPack finds its own), which needs no administrator.
install(FILES
    $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
    $<TARGET_FILE:Qt6::Network>
    DESTINATION ${CMAKE_INSTALL_BINDIR})
# Qt looks for plugins in these folders beside the program.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
    DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
    DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE _runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${_runtime}")
        message(FATAL_ERROR "The compiler does not know where its ${dll} is")
    endif()
    install(FILES ${_runtime} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

# Qt's and the compiler's libraries come with their symbol tables, which nothing on the
# user's machine reads: stripped as the program is (CPACK_STRIP_FILES), the installed folder
# shrinks from 64 to 27 MB.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(GLOB_RECURSE _dlls \"\${_bin}/*.dll\")
        foreach(_dll IN LISTS _dlls)
            execute_process(COMMAND \"${CMAKE_STRIP}\" \"\${_dll}\" RESULT_VARIABLE _status)
            if(NOT _status EQUAL 0)
                message(FATAL_ERROR \"${CMAKE_STRIP} could not strip \${_dll}\")
            endif()
        endforeach()
    endif()")

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME brindora)
set(CPACK_PACKAGE_VENDOR Orvid)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remote control for a networked audio server")
set(CPACK_PACKAGE_FILE_NAME brindora-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Brindora Control")
set(CPACK_PACKAGE_EXECUTABLES brindora "Brindora Control")
set(CPACK_STRIP_FILES ON)
# One "Apps" entry whatever the version, so that an upgrade replaces it.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Brindora Control")
set(CPACK_NSIS_DISPLAY_NAME "Brindora Control")
set(CPACK_NSIS_PACKAGE_NAME "Brindora Control")
set(CPACK_NSIS_INSTALLED_ICON_NAME ${CMAKE_INSTALL_BINDIR}\\\\brindora.exe)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/data/brindora.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/data/brindora.ico)
# A 64-bit program with Unicode names throughout.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)

list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
include(CPack)
