# File drag source: drag detection (pure state machine and its Qt glue) and
# the file drag with its drag image.
if(NOT TARGET qm_ui)
  return()
endif()
target_sources(qm_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/UDragDetect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UQtDragDetect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UFileDragSource.cpp)
target_link_libraries(qm_ui PUBLIC qm_fileutil Qt6::Widgets)
