# Each source folder is one static library; its sources are every .cpp in it, so adding a file
# never needs a CMake edit. A folder without sources yet defines no target.
function(picaxo_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  # A sibling library whose folder has no sources yet defines no target; leave it out rather than
  # link a library that does not exist.
  set(deps "")
  foreach(dep ${ARG_DEPS})
    if(TARGET ${dep} OR NOT dep MATCHES "^picaxo_")
      list(APPEND deps ${dep})
    endif()
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${deps} PRIVATE picaxo_warnings)
endfunction()

# One GoogleTest executable per tested folder, from every *_test.cpp in it.
function(picaxo_tests name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(dep ${ARG_DEPS})
    if(NOT TARGET ${dep})
      return()
    endif()
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main picaxo_warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    PICAXO_TESTDATA="${PROJECT_SOURCE_DIR}/testdata"
    PICAXO_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endfunction()
