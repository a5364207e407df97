# Run by CPack once the packages are made (CPACK_POST_BUILD_SCRIPTS). CPack's
# Debian generator gives any package with a library in the dynamic linker's
# folders a postinst and a postrm that call ldconfig; the library's package
# refreshes the cache through its ldconfig trigger instead, as Debian wants
# it, so it is made again without those two scripts.
find_program(DPKG_DEB dpkg-deb REQUIRED)
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name "${deb}" NAME)
  if(NOT name MATCHES "^${CPACK_DEBIAN_LIB_PACKAGE_NAME}_.*\\.deb$")
    continue()
  endif()
  set(tree "${CPACK_TOPLEVEL_DIRECTORY}/without-ldconfig-scripts")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND "${DPKG_DEB}" --raw-extract "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  foreach(script postinst postrm)
    if(EXISTS "${tree}/DEBIAN/${script}")
      file(STRINGS "${tree}/DEBIAN/${script}" lines)
      list(FILTER lines EXCLUDE REGEX "^#!|^set -e|^if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then|ldconfig|^fi$|^$")
      if(lines)
        message(FATAL_ERROR "${name}: ${script} does more than call ldconfig: ${lines}")
      endif()
      file(REMOVE "${tree}/DEBIAN/${script}")
    endif()
  endforeach()
  execute_process(COMMAND "${DPKG_DEB}" --root-owner-group --build "${tree}" "${deb}"
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
