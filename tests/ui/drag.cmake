# Tests of the file drag source: the drag-start state machine without a
# display, the Qt glue and the file drag on the offscreen platform.
if(NOT TARGET qm_ui)
  return()
endif()
qm_add_test(test_ui_drag_detect
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DragDetectTest.cpp
  LIBS qm_ui)
qm_add_test(test_ui_file_drag QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FileDragSourceTest.cpp ${CMAKE_CURRENT_LIST_DIR}/QtDragDetectTest.cpp
  LIBS qm_ui
  LABELS gui)
