# Helpers shared by every folder's CMakeLists.txt.

# qm_add_subdirs(<dir>...): add each listed sub-folder that has a CMakeLists.txt,
# so that a folder may be added before it has a CMakeLists.txt.
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
    add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/QtTestMain.cpp
                           ${PROJECT_SOURCE_DIR}/tests/support/CISkips.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Widgets Qt6::Test GTest::gtest GTest::gmock)
  else()
    add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/CISkips.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_compile_definitions(${name} PRIVATE
    QM_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    QM_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(props TIMEOUT 120 ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  if(ARG_LABELS)
    list(APPEND props LABELS "${ARG_LABELS}")
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Each start of a test program under the emulator (Wine) costs about a
    # second: one CTest test per program, not one per test case.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ${props})
    if(ARG_ENV)
      set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT ${ARG_ENV})
    endif()
  else()
    # The discovered tests take one value per property: no list of them.
    if(ARG_ENV)
      message(FATAL_ERROR "qm_add_test(${name}): ENV is for the Windows tree's tests only")
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
    # ./check runs these once more, each program whole with its cases
    # shuffled (those of the Windows programs under Wine are left out: slow).
    if(NOT "win64" IN_LIST ARG_LABELS)
      set_property(GLOBAL APPEND PROPERTY QM_SHUFFLED_PROGRAMS ${name})
    endif()
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

# Who the programs and packages name as their owner: the version resources
# of the Windows programs, the MSI's manufacturer and the Debian package's
# copyright file. Placeholders until the owner sets them (a release build
# refuses them, cmake/ReleaseCheck.cmake); the licence is the owner's decision.
include(${CMAKE_CURRENT_LIST_DIR}/ReleaseCheck.cmake)
set(QM_COPYRIGHT_HOLDER "${QM_PLACEHOLDER_OWNER}" CACHE STRING
  "Copyright holder named in the Windows version resources and the Debian copyright file")
set(QM_COPYRIGHT_YEARS "2026" CACHE STRING "Years of the copyright notices")
set(QM_COMPANY_NAME "${QM_COPYRIGHT_HOLDER}" CACHE STRING
  "CompanyName of the Windows version resources and Manufacturer of the MSI")
set(QM_LEGAL_COPYRIGHT "Copyright (C) ${QM_COPYRIGHT_YEARS} ${QM_COPYRIGHT_HOLDER}" CACHE STRING
  "LegalCopyright of the Windows version resources")

# Resource scripts take a string between double quotes; a quote inside is doubled.
function(qm_rc_string out text)
  string(REPLACE "\"" "\"\"" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# qm_add_version_resource(<target> <description>): on Windows, gives the
# program <target> a VERSIONINFO resource with the project's version, the
# product name "Quillmark", <description> as its FileDescription and the
# owner's names from the cache variables above, generated from
# cmake/version.rc.in. A program with its own resource script keeps it: the
# linker merges both. With TOOL_MANIFEST the script also links in
# cmake/tool.manifest, the application manifest of the command-line
# programs (quillmark.exe has its own in its own script: a program holds one).
# Elsewhere it does nothing.
function(qm_add_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 2 arg "TOOL_MANIFEST" "" "")
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(QM_RC_INTERNAL_NAME ${name})
  set(QM_RC_FILE_NAME ${name}${CMAKE_EXECUTABLE_SUFFIX})
  qm_rc_string(QM_RC_DESCRIPTION "${description}")
  qm_rc_string(QM_RC_COMPANY_NAME "${QM_COMPANY_NAME}")
  qm_rc_string(QM_RC_LEGAL_COPYRIGHT "${QM_LEGAL_COPYRIGHT}")
  # FILEVERSION takes four 16-bit numbers; the project version has three.
  set(QM_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(rc ${PROJECT_BINARY_DIR}/version-resources/${name}.rc)
  set(QM_RC_MANIFEST "")
  if(arg_TOOL_MANIFEST)
    set(QM_RC_MANIFEST "CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST \"${PROJECT_SOURCE_DIR}/cmake/tool.manifest\"\n")
    set_property(SOURCE ${rc} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/tool.manifest)
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
