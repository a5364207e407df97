# zarn_gui: data-aware controls, message windows, the survey forms, editors and
# dialogs. Linked by the component module and the GUI tests.
file(GLOB ZARN_GUI_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/widgets/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/widgets/*.h
  ${CMAKE_CURRENT_SOURCE_DIR}/forms/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/forms/*.h
  ${CMAKE_CURRENT_SOURCE_DIR}/editors/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/editors/*.h
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/*.h)
file(GLOB ZARN_GUI_RESOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/widgets/*.qrc)
add_library(zarn_gui STATIC ${ZARN_GUI_SOURCES} ${ZARN_GUI_RESOURCES})
set_target_properties(zarn_gui PROPERTIES AUTORCC ON)
target_link_libraries(zarn_gui PUBLIC zarn_core Qt6::Widgets Qt6::PrintSupport)
