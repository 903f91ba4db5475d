# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DPREFIX=... -DDOC_DIR=... -DBIN_DIR=... -DDATA_DIR=...
#       -P Checkinstall.cmake
# Installs into PREFIX (emptied first) and checks every file a user's system should get.

function(require_file path)
    if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
        message(FATAL_ERROR "missing: ${path}")
    endif()
endfunction()

function(require_same_content installed source)
    require_file("${installed}")
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${installed}" "${source}"
        RESULT_VARIABLE different)
    if(different)
        message(FATAL_ERROR "${installed} differs from ${source}")
    endif()
endfunction()

# Help must also work from the build tree, where the document lies beside the program.
require_same_content("${BUILD_DIR}/app/brindora.html" "${SOURCE_DIR}/docs/brindora.html")

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(failed)
    message(FATAL_ERROR "cmake --install failed:\n${log}")
endif()

require_file("${PREFIX}/${BIN_DIR}/brindora")
require_same_content("${PREFIX}/${DOC_DIR}/brindora.html" "${SOURCE_DIR}/docs/brindora.html")
foreach(size 16 22 24 32 48 64 128 256)
    require_same_content("${PREFIX}/${DATA_DIR}/icons/hicolor/${size}x${size}/apps/brindora.png"
        "${SOURCE_DIR}/data/icons/brindora-${size}.png")
endforeach()

set(menu_entry "${PREFIX}/${DATA_DIR}/applications/brindora.desktop")
set(autostart_example "${PREFIX}/${DOC_DIR}/examples/brindora-autostart.desktop")
require_file("${menu_entry}")
require_file("${autostart_example}")

# The autostart entry is only an example; installed for every user it would start the
# remote in every session.
file(GLOB_RECURSE forced_autostart "${PREFIX}/*autostart/*.desktop")
if(forced_autostart)
    message(FATAL_ERROR "installed into an autostart folder: ${forced_autostart}")
endif()

file(STRINGS "${autostart_example}" exec_lines REGEX "^Exec=")
if(NOT exec_lines STREQUAL "Exec=brindora -autominimize")
    message(FATAL_ERROR "autostart example starts '${exec_lines}'")
endif()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(NOT DESKTOP_FILE_VALIDATE)
    message(FATAL_ERROR "desktop-file-validate not found; tools/install-deps.sh installs it")
endif()
foreach(entry "${menu_entry}" "${autostart_example}")
    execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} "${entry}"
        RESULT_VARIABLE invalid OUTPUT_VARIABLE report ERROR_VARIABLE report)
    if(invalid)
        message(FATAL_ERROR "desktop-file-validate rejects ${entry}:\n${report}")
    endif()
    if(report)
        message(STATUS "desktop-file-validate on ${entry}:\n${report}")
    endif()
endforeach()
