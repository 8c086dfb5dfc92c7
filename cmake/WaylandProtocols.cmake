# The client header and C code of protocol descriptions kept in data/protocols.
#   orv_wayland_protocols(<variable> <protocol>…) sets <variable> to the files it generates in the
#   calling folder's build folder, for a target's sources.
find_package(PkgConfig REQUIRED)
pkg_get_variable(WAYLAND_SCANNER wayland-scanner wayland_scanner)

function(orv_wayland_protocols variable)
    set(files)
    foreach(protocol ${ARGN})
        set(xml ${PROJECT_SOURCE_DIR}/data/protocols/${protocol}.xml)
        set(header ${CMAKE_CURRENT_BINARY_DIR}/${protocol}-client-protocol.h)
        set(code ${CMAKE_CURRENT_BINARY_DIR}/${protocol}-protocol.c)
        add_custom_command(OUTPUT ${header} ${code}
            COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${header}
            COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${code}
            DEPENDS ${xml}
            VERBATIM)
        list(APPEND files ${header} ${code})
    endforeach()
    set(${variable} ${files} PARENT_SCOPE)
endfunction()
