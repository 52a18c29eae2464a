# Stops the configuration when a project library (picaxo_...) or an imported target (a name with
# "::") that `user` names is not a target: a misspelt or missing library must not quietly drop a
# library, a program or a test.
function(picaxo_require_targets user)
  foreach(dep ${ARGN})
    if(NOT TARGET ${dep} AND (dep MATCHES "^picaxo_" OR dep MATCHES "::"))
      message(FATAL_ERROR "${user}: \"${dep}\" is not a target (misspelt, not built in this "
                          "configuration, or declared after its user)")
    endif()
  endforeach()
endfunction()

# Each source folder is one static library; its sources are every .cpp in it, so adding a file
# never needs a CMake edit. A folder without sources is a mistake.
function(picaxo_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    message(FATAL_ERROR "${name}: no .cpp file in ${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  picaxo_require_targets(${name} ${ARG_DEPS})
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE picaxo_warnings)
endfunction()

# One GoogleTest executable per tested folder, from every *_test.cpp in it.
function(picaxo_tests name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(NOT sources)
    message(FATAL_ERROR "${name}: no *_test.cpp file in ${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  picaxo_require_targets(${name} ${ARG_DEPS})
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main picaxo_warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    PICAXO_TESTDATA="${PROJECT_SOURCE_DIR}/testdata"
    PICAXO_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endfunction()
