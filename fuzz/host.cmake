# The test host's command line. Its library part is built from its sources
# here (the fuzz tree has no tools): the protocol, the exchange file and the
# POSIX parts that the protocol's answers reach.
qm_add_fuzzer(fuzz_host_options
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_host_options.cpp ${PROJECT_SOURCE_DIR}/tools/host/UHost.cpp
          ${PROJECT_SOURCE_DIR}/tools/host/UHostPosix.cpp ${PROJECT_SOURCE_DIR}/tools/host/UExchangeFile.cpp
          ${PROJECT_SOURCE_DIR}/tools/host/UExchangeLockPosix.cpp
  LIBS qm_ipc)
target_include_directories(fuzz_host_options PRIVATE ${PROJECT_SOURCE_DIR}/tools/host)
