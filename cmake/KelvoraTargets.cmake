# Helpers every component uses, so targets get the same options everywhere.

# kelvora_add_library(NAME SOURCES ... [DEPS ...]): a static library whose headers are
# included as "folder/file.h" from the repository root.
function(kelvora_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE kelvora_options)
endfunction()

# A static Qt links only the system's own platform into an executable; the tests, and the
# tool's screenshot walk, draw on the offscreen one.
function(kelvora_import_offscreen_platform target)
  if(WIN32 AND COMMAND qt_import_plugins AND TARGET Qt6::QOffscreenIntegrationPlugin)
    qt_import_plugins(${target} INCLUDE Qt6::QOffscreenIntegrationPlugin)
  endif()
endfunction()

include(KelvoraTestLabels)
option(KELVORA_UNITY_TESTS "Compile each test program's sources as one unit" ON)

# kelvora_add_test(NAME SOURCES ... [DEPS ...]): a GoogleTest executable registered with
# CTest, labelled from cmake/KelvoraTestLabels.cmake. Tests are discovered when ctest runs,
# so a crash in discovery never breaks the build. GUI tests run on the offscreen platform.
# Every test links the shared test support (tests/common).
function(kelvora_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  kelvora_test_labels(${name} ARG_LABELS)
  # A build that runs only some tests does not compile the others (their targets still
  # exist, for the settings their folders give them).
  set(_skipped OFF)
  if(KELVORA_TEST_ONLY_LABEL AND NOT KELVORA_TEST_ONLY_LABEL IN_LIST ARG_LABELS)
    set(_skipped ON)
  endif()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  if(_skipped)
    add_executable(${name} EXCLUDE_FROM_ALL ${ARG_SOURCES})
  else()
    add_executable(${name} ${ARG_SOURCES})
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  # Every test source reads the test frameworks' headers, which cost more to compile than most
  # tests themselves: a test program's sources are compiled as one unit.
  set_target_properties(${name} PROPERTIES UNITY_BUILD ${KELVORA_UNITY_TESTS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} kelvora_test_support GTest::gmock
                        GTest::gtest_main kelvora_options)
  kelvora_import_offscreen_platform(${name})
  if(_skipped)
    return()
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Under the emulator (Wine) a process start costs about a second: one CTest test per
    # executable, which must also say that it finished (a crash can look like success).
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}"
      ENVIRONMENT "KELVORA_WINE_EXPECT=[  PASSED  ]")
    return()
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 60)
  # The discovered tests' properties pass through a flattened list, which would split a list
  # of labels: they are given after discovery, by a file CTest reads next.
  set(_label_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(WRITE ${_label_file} "if(DEFINED ${name}_TESTS)\n"
       "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${ARG_LABELS}\")\n"
       "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_label_file})
endfunction()

# kelvora_add_fuzzer(NAME SOURCES ... [DEPS ...]): a libFuzzer target (fuzz preset only).
function(kelvora_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} kelvora_options)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY KELVORA_FUZZERS ${name})
endfunction()

# kelvora_add_bench(NAME SOURCES ... [DEPS ...]): a Google Benchmark program.
function(kelvora_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark_main kelvora_options)
endfunction()

# Adds every immediate subfolder of the current folder that has a CMakeLists.txt.
macro(kelvora_add_subfolders)
  file(GLOB _children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _children)
  foreach(_child IN LISTS _children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()
