target_sources(qm_contact PRIVATE ${CMAKE_CURRENT_LIST_DIR}/UIXExtractor.cpp)
