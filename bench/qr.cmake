find_package(ZLIB REQUIRED)
qm_add_bench(bench_qr SOURCES ${CMAKE_CURRENT_LIST_DIR}/qr_bench.cpp LIBS qm_qr ZLIB::ZLIB)
