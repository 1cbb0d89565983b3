# The test host's command line. Its shared library part is built from its
# sources here: the fuzz tree has no tools.
qm_add_fuzzer(fuzz_host_options
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_host_options.cpp ${PROJECT_SOURCE_DIR}/tools/host/UHost.cpp
  LIBS qm_ipc)
target_include_directories(fuzz_host_options PRIVATE ${PROJECT_SOURCE_DIR}/tools/host)
