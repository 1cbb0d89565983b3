# Installation on Linux and the Debian package.
#
#   cmake --install build --prefix /usr/local
#   (cd build && cpack -G DEB)
#
# bin/: the dialog and the three command-line programs; the desktop entry
# (hidden from menus: Corvanta starts the dialog, but the desktop still needs
# the entry for the window's name and icon); the icon in the hicolor theme;
# the manual pages, compressed as Debian keeps them; the guide for the
# host's developers; the copyright file and the changelog.
include(GNUInstallDirs)

set(QM_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillmark)

set(qm_programs quillmark-card quillmark-host quillmark-ipc)
if(TARGET quillmark)
  list(PREPEND qm_programs quillmark)
endif()
install(TARGETS ${qm_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (the package's) also drops the compilers' .comment
# notes, as Debian's dh_strip does.
if(CMAKE_OBJCOPY)
  foreach(program ${qm_programs})
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\" COMMAND_ERROR_IS_FATAL ANY)
endif()")
  endforeach()
endif()

install(FILES ${PROJECT_SOURCE_DIR}/data/quillmark.desktop
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)

foreach(size ${QM_ICON_SIZES})
  install(FILES ${QM_ICON_DIR}/${size}x${size}/apps/quillmark.png
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${QM_ICON_DIR}/scalable/apps/quillmark.svg
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

find_program(QM_GZIP gzip REQUIRED)
# qm_gzip(<source> <output>): <output> is <source> compressed as Debian
# wants it: -9, and -n leaves out the name and time stamp, so that the
# package is reproducible.
function(qm_gzip source output)
  get_filename_component(dir ${output} DIRECTORY)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${QM_GZIP} -9 -n -c ${source} > ${output}
    DEPENDS ${source}
    COMMENT "Compressing ${output}")
endfunction()

set(qm_man_pages quillmark-card.1 quillmark-host.1 quillmark-ipc.1)
if(TARGET quillmark)
  list(APPEND qm_man_pages quillmark.1)
endif()
set(qm_man_files)
foreach(page ${qm_man_pages})
  qm_gzip(${PROJECT_SOURCE_DIR}/docs/man/${page} ${PROJECT_BINARY_DIR}/man/${page}.gz)
  list(APPEND qm_man_files ${PROJECT_BINARY_DIR}/man/${page}.gz)
endforeach()
install(FILES ${qm_man_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package's copyright file (machine-readable, DEP-5) and changelog
# (the package is native: its version has no Debian revision, so the
# changelog is changelog.gz). The licence is the owner's to choose: a short
# name and a file with its text; by default a placeholder that reserves all
# rights.
set(QM_LICENSE "Proprietary" CACHE STRING "Short licence name in the Debian copyright file")
set(QM_LICENSE_FILE ${PROJECT_SOURCE_DIR}/data/debian/license-placeholder.txt CACHE FILEPATH
  "Text of the licence for the Debian copyright file")
file(READ ${QM_LICENSE_FILE} qm_license)
# Continuation lines: one blank in front, an empty line as " .".
string(STRIP "${qm_license}" qm_license)
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" qm_license "${qm_license}")
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" qm_license "${qm_license}")
string(REPLACE "\n" "\n " QM_LICENSE_TEXT " ${qm_license}")
configure_file(${PROJECT_SOURCE_DIR}/data/debian/copyright.in ${PROJECT_BINARY_DIR}/debian/copyright @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QM_LICENSE_FILE})
qm_gzip(${PROJECT_SOURCE_DIR}/data/debian/changelog ${PROJECT_BINARY_DIR}/debian/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
  DESTINATION ${QM_DOC_DIR})

# The compressed manual pages and changelog.
add_custom_target(quillmark-man ALL DEPENDS ${qm_man_files} ${PROJECT_BINARY_DIR}/debian/changelog.gz)

install(FILES ${PROJECT_SOURCE_DIR}/docs/host-integration.md ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${QM_DOC_DIR})

# The Debian package. Its library dependencies are computed by
# dpkg-shlibdeps from the installed programs; the Qt platform plugins are
# loaded at run time, so no library link shows them and they are named here.
set(QM_PACKAGE_MAINTAINER "Quillmark developers <quillmark@example.org>"
  CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR "Quillmark")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QM_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Corvanta address as a vCard QR code")
set(CPACK_PACKAGE_DESCRIPTION
  "Quillmark is the small window that Corvanta opens beside an address record.
It asks Corvanta for the current address over a local pipe, turns it into a
vCard, and shows it as a QR code for a phone camera; the .vcf and .png files
are left for the user to drag out or open.
.
The package also holds quillmark-card (the same cards from record files,
without the dialog), quillmark-host (a host that serves the pipe as Corvanta
does, for tests and as a reference) and quillmark-ipc (asks a host for one
value, as the dialog does), and a guide for the host's developers.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QM_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
