# The component library Zarndcbdll.so: the class, its exports and the survey
# session, over zarn_gui and zarn_core. Included from src/CMakeLists.txt, so
# paths are relative to src/.

# The host header (runtime types, interfaces) is used by the component
# runtime in zarn_core as well.
target_include_directories(zarn_core PUBLIC ${PROJECT_SOURCE_DIR}/include)

add_library(Zarndcbdll MODULE
  component/binary_interface.cpp component/binary_interface.h
  component/session.cpp component/session.h)
# A plug-in: no "lib" prefix. Only the four entry points, and ZarnVersion
# that tells a host which module it loaded, are exported; the static libraries
# inside stay private to the module, so their symbols bind here and never to a
# host's copies.
set_target_properties(Zarndcbdll PROPERTIES
  PREFIX ""
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON
  BUILD_RPATH "$ORIGIN"
  INSTALL_RPATH "$ORIGIN")
target_link_libraries(Zarndcbdll PRIVATE zarn_gui zarn_core ZarnDecryptString Qt6::Widgets)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/Zarndcbdll.map "{
  global: DllGetClassObject; DllCanUnloadNow; DllRegisterServer; DllUnregisterServer;
    ZarnVersion;
  local: *;
};
")
# Once loaded, the module stays mapped: Qt keeps pointers into its constant
# data after a session (the font cache holds family names given as literals),
# and unmapping it would make the host's next text layout crash. dlclose and
# DllCanUnloadNow keep their meaning; the pages are simply not given back.
target_link_options(Zarndcbdll PRIVATE -Wl,--exclude-libs,ALL -Wl,-z,defs -Wl,-z,nodelete
  -Wl,--version-script=${CMAKE_CURRENT_BINARY_DIR}/Zarndcbdll.map)
set_property(TARGET Zarndcbdll APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/Zarndcbdll.map)

install(TARGETS Zarndcbdll LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/zarn)
