# What an installation holds beyond the programs, and the Debian packages.
# Included from the top-level CMakeLists.txt after the targets exist.
#
#   the CMake package (find_package(Zarndcbdll) -> Zarndcbdll::zarnhost)
#   zarnhost.pc for pkg-config
#   sql/ as documentation, the licence and the changelog
#   with ZARN_CONFIG_IN_ETC: config.ini and the key file beside the module are
#   links into the machine's configuration folder (/etc/zarn/config), so
#   nothing under /usr is written after installation
#   the packages: cmake --build BUILD --target package (or cpack in BUILD),
#   from a build configured with -DCMAKE_INSTALL_PREFIX=/usr:
#     libzarnhost1    (component "lib") the library hosts link, with its symbols
#     zarndcbdll      (component "runtime") the component, its tools and zarn-host
#     zarndcbdll-dev  (component "dev") what building a host needs
include(CMakePackageConfigHelpers)

set(ZARN_PACKAGE_NAME zarndcbdll)
set(ZARN_LIB_PACKAGE_NAME libzarnhost1)
set(ZARN_PACKAGE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(ZARN_PACKAGE_OUT ${CMAKE_BINARY_DIR}/packaging)

# CMake package: relocatable by itself (paths are taken from where it lies).
set(ZARN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Zarndcbdll)
install(EXPORT ZarndcbdllTargets NAMESPACE Zarndcbdll:: DESTINATION ${ZARN_CMAKE_DIR}
  COMPONENT dev)
configure_package_config_file(${ZARN_PACKAGE_DIR}/ZarndcbdllConfig.cmake.in
  ${ZARN_PACKAGE_OUT}/ZarndcbdllConfig.cmake INSTALL_DESTINATION ${ZARN_CMAKE_DIR})
write_basic_package_version_file(${ZARN_PACKAGE_OUT}/ZarndcbdllConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${ZARN_PACKAGE_OUT}/ZarndcbdllConfig.cmake
  ${ZARN_PACKAGE_OUT}/ZarndcbdllConfigVersion.cmake DESTINATION ${ZARN_CMAKE_DIR} COMPONENT dev)

# pkg-config: the prefix is the one installed to (cmake --install --prefix
# may differ from the configured one), so the file is written at install time.
set(ZARN_PC_PREFIX "@ZARN_PC_PREFIX@")
configure_file(${ZARN_PACKAGE_DIR}/zarnhost.pc.in ${ZARN_PACKAGE_OUT}/zarnhost.pc.in @ONLY)
install(CODE "set(ZARN_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
configure_file(\"${ZARN_PACKAGE_OUT}/zarnhost.pc.in\"
  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/zarnhost.pc\" @ONLY)"
  COMPONENT dev)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/sql/
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${ZARN_PACKAGE_NAME}/sql)

# Each package's documentation folder holds the licence in the machine-readable
# form and the changelog, compressed as Debian wants it (gzip -9 -n: no name,
# no time stamp, so the same text gives the same bytes). The changelog names
# the package version; a release that forgets to add its entry fails here.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(ZARN_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
file(STRINGS ${ZARN_PACKAGE_DIR}/changelog ZARN_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT ZARN_CHANGELOG_TOP MATCHES "^${ZARN_PACKAGE_NAME} \\(${ZARN_DEBIAN_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog begins with \"${ZARN_CHANGELOG_TOP}\": add an entry "
    "for ${ZARN_PACKAGE_NAME} (${ZARN_DEBIAN_VERSION}) at its top")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZARN_PACKAGE_DIR}/changelog)
find_program(ZARN_GZIP gzip REQUIRED)
execute_process(COMMAND ${ZARN_GZIP} -9 -n -c INPUT_FILE ${ZARN_PACKAGE_DIR}/changelog
  OUTPUT_FILE ${ZARN_PACKAGE_OUT}/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${ZARN_PACKAGE_DIR}/copyright ${ZARN_PACKAGE_OUT}/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${ZARN_PACKAGE_NAME} COMPONENT runtime)
install(FILES ${ZARN_PACKAGE_DIR}/copyright ${ZARN_PACKAGE_OUT}/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${ZARN_PACKAGE_NAME}-dev COMPONENT dev)
install(FILES ${ZARN_PACKAGE_DIR}/copyright ${ZARN_PACKAGE_OUT}/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${ZARN_LIB_PACKAGE_NAME} COMPONENT lib)

# The machine's configuration folder. A system installation keeps config.ini
# and the key in a folder of their own there (an administrator may open it to
# the surveyors' group so the remembered values are kept, without opening the
# registration file beside it). The component still finds both beside itself,
# through relative links, which also hold in a tree unpacked elsewhere.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(ZARN_CONFIG_IN_ETC_DEFAULT ON)
else()
  set(ZARN_CONFIG_IN_ETC_DEFAULT OFF)
endif()
option(ZARN_CONFIG_IN_ETC "config.ini and the key file in ${CMAKE_INSTALL_FULL_SYSCONFDIR}/zarn/config"
  ${ZARN_CONFIG_IN_ETC_DEFAULT})
set(ZARN_ETC_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/zarn/config)
if(ZARN_CONFIG_IN_ETC)
  install(DIRECTORY DESTINATION ${ZARN_ETC_DIR})
  file(RELATIVE_PATH ZARN_MODULE_TO_ETC ${CMAKE_INSTALL_FULL_LIBDIR}/zarn ${ZARN_ETC_DIR})
  foreach(name config.ini ZarnDecryptString.key)
    install(CODE "file(CREATE_LINK \"${ZARN_MODULE_TO_ETC}/${name}\"
  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/zarn/${name}\" SYMBOLIC)")
  endforeach()
endif()

# What lintian says of the packages and is so on purpose (the reasons are in
# the files).
string(REGEX REPLACE "^/" "" ZARN_LIBDIR_IN_PACKAGE ${CMAKE_INSTALL_FULL_LIBDIR})
configure_file(${ZARN_PACKAGE_DIR}/lintian-overrides.in
  ${ZARN_PACKAGE_OUT}/lintian/${ZARN_PACKAGE_NAME} @ONLY)
configure_file(${ZARN_PACKAGE_DIR}/lintian-overrides-dev.in
  ${ZARN_PACKAGE_OUT}/lintian/${ZARN_PACKAGE_NAME}-dev @ONLY)
install(FILES ${ZARN_PACKAGE_OUT}/lintian/${ZARN_PACKAGE_NAME}
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT runtime)
install(FILES ${ZARN_PACKAGE_OUT}/lintian/${ZARN_PACKAGE_NAME}-dev
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT dev)
configure_file(${ZARN_PACKAGE_DIR}/lintian-overrides-lib.in
  ${ZARN_PACKAGE_OUT}/lintian/${ZARN_LIB_PACKAGE_NAME} @ONLY)
install(FILES ${ZARN_PACKAGE_OUT}/lintian/${ZARN_LIB_PACKAGE_NAME}
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT lib)

# A stripped installation (cpack, cmake --install --strip) also drops the
# compilers' identification from the programs and libraries: strip keeps the
# .comment section, which nothing reads at run time. Only the files this
# installation has just written are touched, never others under the prefix.
foreach(component lib runtime)
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  foreach(file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
    set(file \"\$ENV{DESTDIR}\${file}\")
    if(NOT IS_SYMLINK \"\${file}\" AND EXISTS \"\${file}\")
      file(READ \"\${file}\" magic LIMIT 4 HEX)
      if(magic STREQUAL \"7f454c46\")
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment \"\${file}\"
          COMMAND_ERROR_IS_FATAL ANY)
      endif()
    endif()
  endforeach()
endif()" COMPONENT ${component})
endforeach()

# Maintainer scripts: register on installation, unregister on removal.
set(ZARN_MODULE_PATH ${CMAKE_INSTALL_FULL_LIBDIR}/zarn/Zarndcbdll.so)
set(ZARN_REGSVR_PATH ${CMAKE_INSTALL_FULL_BINDIR}/zarn-regsvr)
foreach(script postinst prerm postrm)
  configure_file(${ZARN_PACKAGE_DIR}/${script}.in ${ZARN_PACKAGE_OUT}/${script} @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${ZARN_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zarndcbdll maintainers <maintainers@users.noreply.c-seed-53ca5c20.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# Files outside the prefix (/etc/zarn) go into the package, not onto the machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL lib runtime dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# Libraries the programs link come from dpkg-shlibdeps; the plug-ins Qt loads
# at run time (the database drivers), Qt's Chinese translation and the Song
# face do not show there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# No synopsis common to the packages: each description's first line is its own.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)

# The library's package, as Debian names a shared library's: the dynamic
# linker's cache is refreshed by the ldconfig trigger, not by maintainer scripts
# (CPack writes those for any library in the linker's folders; they are taken
# out of the finished package again).
# Its symbols file lets a host's package depend on the oldest version that has
# what it calls.
# The list is written by hand; the package test compares it with what the
# library exports, so a new export cannot ship without its line.
set(CPACK_DEBIAN_LIB_PACKAGE_NAME ${ZARN_LIB_PACKAGE_NAME})
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
configure_file(${ZARN_PACKAGE_DIR}/libzarnhost1.symbols.in ${ZARN_PACKAGE_OUT}/lib/symbols @ONLY)
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA ${ZARN_PACKAGE_OUT}/lib/symbols
  ${ZARN_PACKAGE_DIR}/triggers)
set(CPACK_POST_BUILD_SCRIPTS ${ZARN_PACKAGE_DIR}/without-ldconfig-scripts.cmake)
set(CPACK_DEBIAN_LIB_DESCRIPTION
  "host library of the Zarndcbdll survey component
Zarndcbdll is an in-process component that a land-registry application loads
to show, fill in and keep the cadastral survey tables (地籍调查表) of a unit's
parcels.
.
This package holds libzarnhost, the shared library through which a host
creates the component from the machine's or the user's registration and
passes strings to it.")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${ZARN_PACKAGE_NAME})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION science)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS
  "libqt6sql6-sqlite, libqt6sql6-psql, libqt6sql6-odbc, qt6-translations-l10n, \
fonts-arphic-uming | fonts-noto-cjk")
# zarn-host and the tools link libzarnhost, which is in a package of this build:
# dpkg-shlibdeps finds it in the build tree, and the dependency on its package
# (of this very version) is the component's.
set(CPACK_COMPONENT_RUNTIME_DEPENDS lib)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/host)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SUGGESTS "odbc-postgresql, libsqliteodbc")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${ZARN_PACKAGE_OUT}/postinst
  ${ZARN_PACKAGE_OUT}/prerm ${ZARN_PACKAGE_OUT}/postrm)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
  "cadastral survey table component for land-registry applications
Zarndcbdll is an in-process component that a land-registry application loads
to show, fill in and keep the cadastral survey tables (地籍调查表) of a unit's
parcels, on SQLite, PostgreSQL or any ODBC database.
.
The package holds the component, registered for every user of the machine,
the demo host zarn-host and the tools zarn-db, zarn-encrypt, zarn-regsvr,
zarn-sheet (survey tables as PDF) and zarn-check (quality check of a unit).
The DDL of the survey database is in /usr/share/doc/${ZARN_PACKAGE_NAME}/sql.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${ZARN_PACKAGE_NAME}-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# Building a host needs the library; running it needs the component too.
set(CPACK_COMPONENT_DEV_DEPENDS lib)
set(CPACK_DEBIAN_DEV_PACKAGE_RECOMMENDS ${ZARN_PACKAGE_NAME})
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "")
set(CPACK_DEBIAN_DEV_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DEV_DESCRIPTION
  "development files of the Zarndcbdll survey component
Zarndcbdll is an in-process component that a land-registry application loads
to show, fill in and keep the cadastral survey tables (地籍调查表) of a unit's
parcels.
.
This package holds what building a host needs: the header <zarn/Zarndcbdll.h>
with the type library Zarndcbdll.idl beside it, the link to libzarnhost, and
its pkg-config (zarnhost) and CMake (find_package(Zarndcbdll)) files.")
include(CPack)
