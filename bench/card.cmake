if(TARGET qm_cardtool)
  qm_add_bench(bench_card SOURCES ${CMAKE_CURRENT_LIST_DIR}/card_bench.cpp LIBS qm_cardtool)
endif()
