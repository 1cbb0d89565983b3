qm_add_bench(bench_record_load SOURCES ${CMAKE_CURRENT_LIST_DIR}/record_load_bench.cpp LIBS qm_card)
