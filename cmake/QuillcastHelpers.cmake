# qc_core_library(NAME [SUBDIRS dirs...] LIBS...): a widget-free library of one
# subsystem, built from every .cpp file directly in its directory and in the
# SUBDIRS named (a ui/ folder beside them belongs to the window).
function(qc_core_library name)
  cmake_parse_arguments(ARG "" "" "SUBDIRS;LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(dir IN LISTS ARG_SUBDIRS)
    file(GLOB dir_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
    list(APPEND sources ${dir_sources})
  endforeach()
  list(FILTER sources INCLUDE REGEX "\\.cpp$|\\.h$")
  if(sources MATCHES "\\.cpp")
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  else()
    # A subsystem without code yet still gives its dependents something to link.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_LIBS})
  endif()
endfunction()

# add_unit_test(NAME SOURCES files... LIBS libs... [GUI]): one test program, one CTest entry.
# GUI tests run on the offscreen platform so they never need a display.
function(add_unit_test name)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest)
  if(ARG_GUI)
    target_link_libraries(${name} PRIVATE qc_test_main_gui)
  else()
    target_link_libraries(${name} PRIVATE qc_test_main_core)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    # A developer's proxy must not stand between the tests and their loopback servers.
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QC_SOURCE_DIR=${PROJECT_SOURCE_DIR};QC_BINARY_DIR=${PROJECT_BINARY_DIR};http_proxy=;https_proxy=;HTTP_PROXY=;HTTPS_PROXY="
    TIMEOUT 600)
endfunction()
