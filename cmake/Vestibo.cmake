# Dependencies that name a project library which does not exist (yet) are left out, so that an
# area can join the build before every area it will use has landed.
function(vestibo_existing_deps out)
  set(result)
  foreach(dep IN LISTS ARGN)
    if(dep MATCHES "^vestibo_" AND NOT TARGET ${dep})
      continue()
    endif()
    list(APPEND result ${dep})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# vestibo_library(<area> DEPS <targets...>)
# Builds every .cpp of src/<area> into the static library vestibo_<area>.
function(vestibo_library area)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  vestibo_existing_deps(deps ${ARG_DEPS})
  add_library(vestibo_${area} STATIC ${sources})
  target_include_directories(vestibo_${area} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(vestibo_${area} PUBLIC ${deps})
endfunction()

# vestibo_test(<area> DEPS <targets...> [ENV <VAR=value...>])
# Builds every .cpp of tests/<area> into <area>_tests and registers each test case with ctest.
function(vestibo_test area)
  cmake_parse_arguments(ARG "" "" "DEPS;ENV" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  vestibo_existing_deps(deps ${ARG_DEPS})
  add_executable(${area}_tests ${sources})
  target_include_directories(${area}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${area}_tests PRIVATE ${deps} vestibo_testsupport GTest::gtest GTest::gtest_main GTest::gmock)
  # GCC 12 at -O2 and above reports libstdc++'s own string and vector copies inlined into the
  # tests' literal-building code as overlapping or out of bounds (known false positives, fixed
  # in GCC 13). The tests run unoptimised under the sanitizers, where these do not appear.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${area}_tests PRIVATE -Wno-restrict -Wno-array-bounds -Wno-stringop-overread)
  endif()
  gtest_discover_tests(${area}_tests DISCOVERY_MODE PRE_TEST TEST_PREFIX "${area}."
                       PROPERTIES ENVIRONMENT "${ARG_ENV}")
endfunction()
