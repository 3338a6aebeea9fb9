# Every project library (vestibo_*) a target names must already be defined: the areas are added
# in dependency order, so a misspelt or missing one stops the configure step here.
function(vestibo_check_deps target)
  foreach(dep IN LISTS ARGN)
    if(dep MATCHES "^vestibo_" AND NOT TARGET ${dep})
      message(FATAL_ERROR "${target} depends on ${dep}, which is no library of this project (or is added later)")
    endif()
  endforeach()
endfunction()

# vestibo_library(<area> DEPS <targets...>)
# Builds every .cpp of src/<area> into the static library vestibo_<area>.
function(vestibo_library area)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    message(FATAL_ERROR "src/${area} has no sources")
  endif()
  vestibo_check_deps(vestibo_${area} ${ARG_DEPS})
  add_library(vestibo_${area} STATIC ${sources})
  target_include_directories(vestibo_${area} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(vestibo_${area} PUBLIC ${ARG_DEPS})
endfunction()

# vestibo_test(<area> DEPS <targets...> [ENV <VAR=value...>])
# Builds every .cpp of tests/<area> into <area>_tests and registers each test case with ctest.
function(vestibo_test area)
  cmake_parse_arguments(ARG "" "" "DEPS;ENV" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    message(FATAL_ERROR "tests/${area} has no sources")
  endif()
  vestibo_check_deps(${area}_tests ${ARG_DEPS})
  add_executable(${area}_tests ${sources})
  target_include_directories(${area}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${area}_tests PRIVATE ${ARG_DEPS} vestibo_testsupport GTest::gtest GTest::gtest_main GTest::gmock)
  # GCC 12 at -O2 and above reports libstdc++'s own string and vector copies inlined into the
  # tests' literal-building code as overlapping or out of bounds (known false positives, fixed
  # in GCC 13). The tests run unoptimised under the sanitizers, where these do not appear.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${area}_tests PRIVATE -Wno-restrict -Wno-array-bounds -Wno-stringop-overread)
  endif()
  gtest_discover_tests(${area}_tests DISCOVERY_MODE PRE_TEST TEST_PREFIX "${area}."
                       PROPERTIES ENVIRONMENT "${ARG_ENV}")
endfunction()
