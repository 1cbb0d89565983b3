qm_add_bench(bench_json SOURCES json_bench.cpp LIBS qm_json)
# A plain program for whole-process timing (see json_roundtrip.cpp).
add_executable(json_roundtrip json_roundtrip.cpp)
target_link_libraries(json_roundtrip PRIVATE qm_json)
