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
