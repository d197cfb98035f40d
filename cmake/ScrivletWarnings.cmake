# Warning and sanitizer flags shared by every target of the project.
add_library(scrivlet_build_flags INTERFACE)
target_compile_options(scrivlet_build_flags INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(scrivlet_build_flags INTERFACE
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_CAST_FROM_ASCII
    QT_NO_URL_CAST_FROM_STRING
    SCRIVLET_APP_ID="${SCRIVLET_APP_ID}"
    SCRIVLET_VERSION="${PROJECT_VERSION}")
if(SCRIVLET_WERROR)
    target_compile_options(scrivlet_build_flags INTERFACE -Werror)
endif()
if(SCRIVLET_SANITIZE)
    target_compile_options(scrivlet_build_flags INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(scrivlet_build_flags INTERFACE -fsanitize=address,undefined)
endif()
