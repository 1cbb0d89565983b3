qm_add_fuzzer(fuzz_json_parse SOURCES fuzz_json_parse.cpp LIBS qm_json)
qm_add_fuzzer(fuzz_json_ixsplit SOURCES fuzz_json_ixsplit.cpp LIBS qm_contact)
