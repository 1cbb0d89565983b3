# The Windows zip: quillmark.exe and the three command-line programs, each
# linked statically, so that a host administrator unpacks it anywhere and
# runs them. `cpack -G ZIP` in the Windows tree writes
# quillmark-<version>-win64.zip.
install(TARGETS quillmark quillmark-host quillmark-ipc quillmark-card
  RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/samples/anna-berg.json DESTINATION samples)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR Quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME quillmark-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# Without the debugging information of RelWithDebInfo builds.
set(CPACK_STRIP_FILES ON)
include(CPack)
