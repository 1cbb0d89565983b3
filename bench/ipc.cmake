# One host request end to end against quillmark-host, beside a plain C
# AF_UNIX client and server doing the same exchange.
qm_add_bench(bench_ipc SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ipc_request.cpp LIBS qm_ipc)
target_compile_definitions(bench_ipc PRIVATE QM_HOST_BINARY="$<TARGET_FILE:quillmark-host>")
add_dependencies(bench_ipc quillmark-host)
