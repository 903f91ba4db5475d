# cmake -DCPACK_CONFIG=... -DOUT_DIR=... -DVERSION=... -DBUILD_TYPE=... -P Checkpackage.cmake
# Makes the .deb into OUT_DIR (emptied first), then reads it back with dpkg-deb.
cmake_minimum_required(VERSION 3.21)

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(failed)
        # A missing tool lands here too; tools/install-deps.sh installs them all.
        message(FATAL_ERROR "${ARGN} failed (${failed}):\n${out}\n${err}")
    endif()
    set(out "${out}" PARENT_SCOPE)
    set(err "${err}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${OUT_DIR}")
run(cpack -G DEB --config "${CPACK_CONFIG}" -B "${OUT_DIR}")
file(GLOB debs "${OUT_DIR}/*.deb")
list(LENGTH debs count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one package in ${OUT_DIR}, found: ${debs}")
endif()

# The control fields: who it is, for which machine, and dependencies read from the
# program's own libraries, plus the display plugins no library names.
run(dpkg --print-architecture)
set(expected "Package: brindora\nVersion: ${VERSION}\nArchitecture: ${out}")
run(dpkg-deb -f "${debs}" Package Version Architecture Depends)
string(FIND "${out}" "${expected}\nDepends: " at)
if(NOT at EQUAL 0)
    message(FATAL_ERROR "the control fields are\n${out}\nnot\n${expected}")
endif()
foreach(dependency libqt6widgets6 libqt6dbus6 libqt6network6 qt6-qpa-plugins)
    if(NOT out MATCHES "Depends: (.*, )?${dependency}( |,|$)")
        message(FATAL_ERROR "Depends lacks ${dependency}: ${out}")
    endif()
endforeach()

# The contents: each piece a desktop looks for.
run(dpkg-deb -c "${debs}")
set(required bin/brindora share/doc/brindora/brindora.html share/applications/brindora.desktop
    share/doc/brindora/copyright share/doc/brindora/changelog.gz
    share/man/man1/brindora.1.gz share/metainfo/org.example.brindora.metainfo.xml)
foreach(size 16 22 24 32 48 64 128 256)
    list(APPEND required share/icons/hicolor/${size}x${size}/apps/brindora.png)
endforeach()
foreach(path IN LISTS required)
    if(NOT out MATCHES " \\./usr/${path}(\n|$)")
        message(FATAL_ERROR "the package lacks /usr/${path}")
    endif()
endforeach()

# Unpacked: the metadata a software centre reads, tied to the menu entry and icons it names,
# and a manual page man reads without complaint.
set(root "${OUT_DIR}/root")
run(dpkg-deb -x "${debs}" "${root}")
run(appstreamcli validate-tree --no-net "${root}")
run(man --warnings -l "${root}/usr/share/man/man1/brindora.1.gz")
if(err)
    message(FATAL_ERROR "man complains about brindora.1:\n${err}")
endif()

# Debian's own checker: no error or warning, and a package from an optimised build hardened
# as Debian's own programs are.
run(lintian --fail-on none -I -E "${debs}")
string(REPLACE "\n" ";" tags "${out}")
foreach(tag IN LISTS tags)
    if(tag MATCHES "^[EW]: " OR
       (BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$" AND tag MATCHES " hardening-no-"))
        message(FATAL_ERROR "lintian: ${tag}")
    endif()
endforeach()
