qm_add_bench(bench_contact SOURCES contact_bench.cpp LIBS qm_contact)
target_include_directories(bench_contact PRIVATE ${PROJECT_SOURCE_DIR}/tests/contact)
