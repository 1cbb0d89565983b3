qm_add_fuzzer(fuzz_json_parse SOURCES fuzz_json_parse.cpp LIBS qm_json)

# The communication field extractor belongs to qm_contact; until that library
# exists in the tree, its source is compiled into the fuzzer directly.
if(TARGET qm_contact)
  qm_add_fuzzer(fuzz_json_ixsplit SOURCES fuzz_json_ixsplit.cpp LIBS qm_contact)
else()
  qm_add_fuzzer(fuzz_json_ixsplit
    SOURCES fuzz_json_ixsplit.cpp ${PROJECT_SOURCE_DIR}/src/contact/UIXExtractor.cpp
    LIBS qm_fileutil)
  target_include_directories(fuzz_json_ixsplit PRIVATE ${PROJECT_SOURCE_DIR}/src/contact)
endif()
