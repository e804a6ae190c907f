# The distribution's compiler and linker flags, as dpkg-buildflags gives
# them to its own packages (with every hardening it knows: stack protector,
# fortified functions, read-only relocations bound at once), so that a
# build made here, and the package made from it, is built as Debian builds.
# The sanitizers' and the fuzzers' builds keep their own.
option(PELLAVIN_DISTRIBUTION_FLAGS "Build with the flags dpkg-buildflags gives, where it is there" ON)
if(PELLAVIN_DISTRIBUTION_FLAGS AND NOT PELLAVIN_SANITIZE AND NOT PELLAVIN_FUZZ)
  find_program(DPKG_BUILDFLAGS dpkg-buildflags)
  if(DPKG_BUILDFLAGS)
    foreach(name CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
          ${DPKG_BUILDFLAGS} --get ${name}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
      separate_arguments(distribution_${name} UNIX_COMMAND "${flags}")
    endforeach()
    add_compile_options(${distribution_CPPFLAGS} ${distribution_CXXFLAGS})
    add_link_options(${distribution_LDFLAGS})
  endif()
endif()
