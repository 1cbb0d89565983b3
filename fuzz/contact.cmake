qm_add_fuzzer(fuzz_contact_writer SOURCES fuzz_contact_writer.cpp LIBS qm_contact)
# The reader that reads the cards back is the tests' own.
qm_add_fuzzer(fuzz_vcard_roundtrip SOURCES fuzz_vcard_roundtrip.cpp LIBS qm_contact)
target_include_directories(fuzz_vcard_roundtrip PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
