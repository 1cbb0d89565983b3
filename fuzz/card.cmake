# The card tool's library is built from its sources here: the fuzz tree has
# no tools.
qm_add_fuzzer(fuzz_card_tool
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_card_tool.cpp ${PROJECT_SOURCE_DIR}/tools/card/UCardBatch.cpp
  LIBS qm_card)
target_include_directories(fuzz_card_tool PRIVATE ${PROJECT_SOURCE_DIR}/tools/card)
