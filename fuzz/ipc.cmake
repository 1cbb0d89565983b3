qm_add_fuzzer(fuzz_ipc_payload SOURCES fuzz_ipc_payload.cpp LIBS qm_ipc)
qm_add_fuzzer(fuzz_ipc_frame SOURCES fuzz_ipc_frame.cpp LIBS qm_ipc)
