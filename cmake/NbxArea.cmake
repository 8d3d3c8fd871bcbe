# nbx_area(<name> [deps...])
# Builds src/<name>/*.cpp into nbx_<name> (Qt Core, Gui, Sql, SerialPort; no widgets) and
# src/<name>/ui/*.cpp into nbx_<name>_ui (widgets). A chart/ subfolder (the chart layer) follows the
# same split: chart/*.cpp into the core library, chart/ui/*.cpp into the widgets library. Sources
# are globbed so that adding a file needs no edit here.
function(nbx_area name)
  set(deps ${ARGN})
  set(dir ${CMAKE_SOURCE_DIR}/src/${name})
  file(GLOB core_src CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h ${dir}/chart/*.cpp ${dir}/chart/*.h)
  file(GLOB ui_src CONFIGURE_DEPENDS ${dir}/ui/*.cpp ${dir}/ui/*.h ${dir}/chart/ui/*.cpp ${dir}/chart/ui/*.h)

  set(core_deps)
  set(ui_deps)
  foreach(d IN LISTS deps)
    list(APPEND core_deps nbx_${d})
    list(APPEND ui_deps nbx_${d}_ui)
  endforeach()

  list(FILTER core_src EXCLUDE REGEX "\\.h$")
  if(core_src)
    add_library(nbx_${name} STATIC ${core_src})
    target_include_directories(nbx_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(nbx_${name} PUBLIC ${core_deps} Qt6::Core Qt6::Gui Qt6::Sql Qt6::SerialPort)
  else()
    add_library(nbx_${name} INTERFACE)
    target_include_directories(nbx_${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(nbx_${name} INTERFACE ${core_deps} Qt6::Core Qt6::Gui Qt6::Sql Qt6::SerialPort)
  endif()

  list(FILTER ui_src EXCLUDE REGEX "\\.h$")
  if(ui_src)
    add_library(nbx_${name}_ui STATIC ${ui_src})
    target_link_libraries(nbx_${name}_ui PUBLIC nbx_${name} ${ui_deps}
      Qt6::Widgets Qt6::PrintSupport Qt6::Svg)
  else()
    add_library(nbx_${name}_ui INTERFACE)
    target_link_libraries(nbx_${name}_ui INTERFACE nbx_${name} ${ui_deps}
      Qt6::Widgets Qt6::PrintSupport Qt6::Svg)
  endif()
endfunction()
