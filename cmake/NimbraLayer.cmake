# nimbra_layer(NAME DIR DEPS deps... [EXCLUDE subdirs...] [TEST_DEPS libs...]
#              [TEST_ENV VAR=value...])
# Builds library nimbra_NAME from every .cpp under DIR (tests/ and the excluded
# sub-folders left out) and, when tests are on, NAME_tests from DIR/tests/*.cpp
# with the test support library (testsupport/).
function(nimbra_layer name dir)
  cmake_parse_arguments(L "" "" "DEPS;EXCLUDE;TEST_DEPS;TEST_ENV" ${ARGN})
  set(root ${CMAKE_SOURCE_DIR}/${dir})
  file(GLOB_RECURSE src CONFIGURE_DEPENDS ${root}/*.cpp)
  list(FILTER src EXCLUDE REGEX "^${root}/tests/")
  foreach(ex ${L_EXCLUDE})
    list(FILTER src EXCLUDE REGEX "^${root}/${ex}/")
  endforeach()
  if(src)
    add_library(nimbra_${name} STATIC ${src})
    target_include_directories(nimbra_${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(nimbra_${name} PUBLIC ${L_DEPS})
  else()
    add_library(nimbra_${name} INTERFACE)
    target_include_directories(nimbra_${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(nimbra_${name} INTERFACE ${L_DEPS})
  endif()
  if(NIMBRA_TESTS AND NOT NIMBRA_FUZZ)
    file(GLOB tests CONFIGURE_DEPENDS ${root}/tests/*.cpp)
    if(tests)
      add_executable(${name}_tests ${tests})
      target_link_libraries(${name}_tests PRIVATE nimbra_${name} nimbra_testsupport GTest::gtest
                            GTest::gtest_main ${L_TEST_DEPS})
      # GoogleTest's header dominates the compile time of a test file.
      target_precompile_headers(${name}_tests PRIVATE <gtest/gtest.h> <string> <vector>
                                <filesystem> <map> <memory>)
      target_compile_definitions(${name}_tests PRIVATE
                                 NIMBRA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                 NIMBRA_BINARY_DIR="${CMAKE_BINARY_DIR}")
      set(properties TIMEOUT 600)
      if(L_TEST_ENV)
        list(APPEND properties ENVIRONMENT "${L_TEST_ENV}")
      endif()
      gtest_discover_tests(${name}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                           PROPERTIES ${properties})
    endif()
  endif()
endfunction()
