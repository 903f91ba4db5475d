# Warnings and sanitizers travel with this target; every target links it PRIVATE.
add_library(brindora_options INTERFACE)
if(MSVC)
    target_compile_options(brindora_options INTERFACE /W4)
else()
    target_compile_options(brindora_options INTERFACE -Wall -Wextra -Wpedantic)
endif()
target_compile_definitions(brindora_options INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_KEYWORDS QT_NO_FOREACH)

if(BRINDORA_SANITIZE)
    set(_flags -fsanitize=${BRINDORA_SANITIZE} -fno-omit-frame-pointer -g)
    if(BRINDORA_SANITIZE MATCHES "undefined")
        list(APPEND _flags -fno-sanitize-recover=undefined)
    endif()
    target_compile_options(brindora_options INTERFACE ${_flags})
    target_link_options(brindora_options INTERFACE -fsanitize=${BRINDORA_SANITIZE})
endif()

# Optimised builds, the ones a package is made from, are hardened as Debian builds its own
# programs: fortified libc calls and, on ELF, a position-independent program whose
# relocations are all bound at start and then made read-only. Debug builds go without, as
# _FORTIFY_SOURCE needs the optimiser. Not on Windows: mingw-w64's fortified calls need its
# libssp, and the rest is ELF only. No -fPIE either: Qt builds everything -fPIC, which a
# position-independent program takes as well.
set(_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
if(NOT WIN32)
    target_compile_options(brindora_options INTERFACE
        "$<${_optimised}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
endif()
if(CMAKE_EXECUTABLE_FORMAT STREQUAL "ELF")
    set(_executable "$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>")
    target_link_options(brindora_options INTERFACE
        "$<$<AND:${_optimised},${_executable}>:-pie>"
        "$<${_optimised}:LINKER:-z,relro,-z,now>")
endif()
