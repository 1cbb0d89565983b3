# Helpers shared by every folder's CMakeLists.txt.

# qm_add_subdirs(<dir>...): add each listed sub-folder that has a CMakeLists.txt,
# so folders can be added one issue at a time.
function(qm_add_subdirs)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# qm_add_test(<name> [QT] SOURCES <src>... LIBS <lib>... [LABELS <label>...] [ENV <k=v>...])
# One GoogleTest executable registered with CTest, test by test. With QT the
# test's main creates a QApplication (offscreen unless QT_QPA_PLATFORM is set).
function(qm_add_test name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  if(ARG_QT)
    find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
    add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/QtTestMain.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Widgets Qt6::Test GTest::gtest GTest::gmock)
  else()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_compile_definitions(${name} PRIVATE
    QM_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    QM_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(props TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENV}")
  if(ARG_LABELS)
    list(APPEND props LABELS "${ARG_LABELS}")
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Each start of a test program under the emulator (Wine) costs about a
    # second: one CTest test per program, not one per test case.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ${props})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
  endif()
endfunction()

# qm_add_bench(<name> SOURCES <src>... LIBS <lib>...)
function(qm_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
  target_compile_definitions(${name} PRIVATE QM_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endfunction()

# qm_add_fuzzer(<name> SOURCES <src>... LIBS <lib>...)
function(qm_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY QM_FUZZERS ${name})
endfunction()
