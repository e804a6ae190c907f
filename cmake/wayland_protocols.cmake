# wayland_client_protocols(SOURCES DIR XML...): the client code of Wayland
# protocols, generated from their descriptions by wayland-scanner into DIR
# (a header NAME-client-protocol.h and NAME-protocol.c for each NAME.xml);
# SOURCES names the list of generated files, for a target's sources.
find_package(PkgConfig REQUIRED)
pkg_get_variable(wayland_scanner wayland-scanner wayland_scanner)

function(wayland_client_protocols sources dir)
  file(MAKE_DIRECTORY ${dir})
  set(generated)
  foreach(xml ${ARGN})
    get_filename_component(name ${xml} NAME_WE)
    add_custom_command(
      OUTPUT ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c
      COMMAND ${wayland_scanner} client-header ${xml} ${dir}/${name}-client-protocol.h
      COMMAND ${wayland_scanner} private-code ${xml} ${dir}/${name}-protocol.c
      DEPENDS ${xml}
      VERBATIM)
    list(APPEND generated ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c)
  endforeach()
  set(${sources} ${generated} PARENT_SCOPE)
endfunction()
