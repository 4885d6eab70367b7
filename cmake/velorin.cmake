# velorin_library(<target> DIR <folder> [DEPS <targets...>] [EXCLUDE <files...>])
# One static library from every .cpp of a folder (not its sub-folders).
function(velorin_library target)
  cmake_parse_arguments(ARG "" "DIR" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  foreach(ex IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${ARG_DIR}/${ex})
  endforeach()
  if(NOT sources)
    # A subsystem not yet written: an empty library, so that its users still link.
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${target} STATIC ${sources})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
endfunction()

# velorin_tests(<name> DIR <folder> DEPS <targets...> [THREADED] [TIMEOUT <seconds>])
# One GoogleTest executable from every .cpp under tests/<folder>, registered with CTest
# under the label <folder>. THREADED adds the label "threaded": the code under test runs
# threads of its own, so the ThreadSanitizer stage runs these tests. TIMEOUT (120 s when
# not given) is how long CTest lets one test run before it counts as hung.
function(velorin_tests name)
  cmake_parse_arguments(ARG "THREADED" "DIR;TIMEOUT" "DEPS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${ARG_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources} ${CMAKE_SOURCE_DIR}/tests/support/main/test_environment.cpp)
  target_compile_definitions(${name} PRIVATE VELORIN_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                             VELORIN_TEST_RUN_DIR="${VELORIN_RUN_DIR}")
  target_link_libraries(${name} PRIVATE velorin_test_support ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS ${ARG_DIR})
  if(ARG_THREADED)
    # The tests are known only once discovered: a script CTest reads after the list
    # adds the second label to each.
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}_threaded.cmake)
    file(WRITE ${script}
      "foreach(test IN LISTS ${name}_TESTS)\n"
      "  set_tests_properties(\"\${test}\" PROPERTIES LABELS \"${ARG_DIR};threaded\")\n"
      "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
  endif()
endfunction()

# velorin_test_folders()
# Adds every test folder under the current one: a folder with a CMakeLists.txt declares
# its own test programs; a folder with only test sources becomes one program
# tests_<path> over the core. Nothing lists the folders, so a new one cannot be missed.
function(velorin_test_folders)
  file(GLOB entries LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(entry IN LISTS entries)
    if(NOT IS_DIRECTORY ${entry})
      continue()
    endif()
    get_filename_component(folder ${entry} NAME)
    if(folder STREQUAL "support" OR folder STREQUAL "fuzz")
      continue()
    endif()
    if(EXISTS ${entry}/CMakeLists.txt)
      add_subdirectory(${entry})
    else()
      file(RELATIVE_PATH dir ${CMAKE_SOURCE_DIR}/tests ${entry})
      string(REPLACE "/" "_" name "tests_${dir}")
      velorin_tests(${name} DIR ${dir} DEPS velorin_core)
    endif()
  endforeach()
endfunction()

# velorin_fuzz(<name> SOURCE <file> DEPS <targets...>)
# A libFuzzer target (built only with VELORIN_FUZZ, by clang). CI runs each for a
# few seconds from its seed folder tests/fuzz/corpus/<name>/ when that exists.
function(velorin_fuzz name)
  cmake_parse_arguments(ARG "" "SOURCE" "DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCE})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()

# velorin_bench(<name> SOURCE <file> DEPS <targets...>)
function(velorin_bench name)
  cmake_parse_arguments(ARG "" "SOURCE" "DEPS" ${ARGN})
  # scratch.cpp: what a benchmark writes goes at exit (bench/scratch.h).
  add_executable(${name} ${ARG_SOURCE} ${CMAKE_SOURCE_DIR}/bench/scratch.cpp)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()
