qm_add_fuzzer(fuzz_base_strings SOURCES fuzz_base_strings.cpp LIBS qm_base)
