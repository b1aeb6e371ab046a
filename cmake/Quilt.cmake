# Helpers shared by the folders' CMakeLists.txt.
#
#   quilt_library(<name> [DEPS <targets>...])
#     One static library from every *.cc of the calling folder (an interface
#     library when the folder has headers only), and its tests: every
#     tests/*.cc except tests/realdata_*.cc goes into <name>_tests, labelled
#     <name>; tests/realdata_*.cc (tests on the structures and maps of
#     ../shared/data) go into <name>_realdata_tests, labelled <name> and
#     realdata.  A test file may be listed with TESTS_DEPS to link more.
#
#   quilt_program(<name> SOURCES <files>... DEPS <targets>...)
#     A program in build/bin/.

set(QUILT_TEST_OUTPUT_DIR ${CMAKE_BINARY_DIR}/tests)

function(quilt_library name)
  cmake_parse_arguments(Q "" "LABEL" "DEPS;TEST_DEPS" ${ARGN})
  if(NOT Q_LABEL)
    set(Q_LABEL ${name})
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cc)
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${Q_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${Q_DEPS})
  endif()
  quilt_tests(${Q_LABEL} ${name} ${Q_TEST_DEPS})
endfunction()

function(quilt_tests label)
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cc)
  set(unit "")
  set(real "")
  foreach(f ${all})
    get_filename_component(base ${f} NAME)
    if(base MATCHES "^realdata_")
      list(APPEND real ${f})
    else()
      list(APPEND unit ${f})
    endif()
  endforeach()
  if(unit)
    quilt_test_executable(${label}_tests "${label}" "${unit}" ${ARGN})
  endif()
  if(real)
    quilt_test_executable(${label}_realdata_tests "${label};realdata" "${real}" ${ARGN})
  endif()
endfunction()

function(quilt_test_executable exe labels sources)
  add_executable(${exe} ${sources})
  target_link_libraries(${exe} PRIVATE ${ARGN} quilt_testsupport GTest::gtest GTest::gmock GTest::gtest_main)
  set_target_properties(${exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUILT_TEST_OUTPUT_DIR})
  # A list of labels passes through several rounds of list expansion on its
  # way to the discovered tests; it must arrive as one value.
  string(REPLACE ";" "\\\\\\\\\\\\\\\\;" escaped_labels "${labels}")
  gtest_discover_tests(${exe}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    PROPERTIES LABELS "${escaped_labels}" TIMEOUT 900
    DISCOVERY_TIMEOUT 120)
endfunction()

function(quilt_program name)
  cmake_parse_arguments(Q "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${Q_SOURCES})
  target_link_libraries(${name} PRIVATE ${Q_DEPS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()

# Header-only helpers for tests: where the shared test data lie, scratch dirs.
add_library(quilt_testsupport INTERFACE)
target_include_directories(quilt_testsupport INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_definitions(quilt_testsupport INTERFACE
  QUILT_SOURCE_DIR="${PROJECT_SOURCE_DIR}" QUILT_BINARY_DIR="${CMAKE_BINARY_DIR}")
