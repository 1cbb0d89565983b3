# What the Windows tree ships: the four programs with version resources,
# stripped (and signed when a certificate is given) into one package folder,
# packed twice from there:
#   quillmark-<version>-win64.msi   the Windows Installer package (wixl), for
#                                   silent and managed installs;
#   quillmark-<version>-win64.zip   `cpack -G ZIP`: unpack anywhere and run.
# The programs link their runtime statically, so each .exe runs on its own.

qm_add_version_resource(quillmark "Quillmark – Adresse als vCard-QR-Code")
qm_add_version_resource(quillmark-card "Quillmark – vCard- und QR-Code-Dateien aus Adressdatensätzen" TOOL_MANIFEST)
qm_add_version_resource(quillmark-host "Quillmark – Test-Host, bedient die Pipe wie Corvanta" TOOL_MANIFEST)
qm_add_version_resource(quillmark-ipc "Quillmark – fragt den Host nach einem Wert" TOOL_MANIFEST)

# Authenticode signing with the organisation's own certificate: from a
# PKCS#12 file, or from a key on a token (a hardware key or HSM, as
# publicly trusted code-signing keys must be) through its PKCS#11 module,
# with the certificate chain in a file. The PKCS#12 password or the token's
# PIN is read from the environment variable QM_SIGN_PASSWORD, or the file
# QM_SIGN_PASSWORD_FILE, when the build signs, so that it is written into no
# build file. Without a certificate nothing is signed.
set(QM_SIGN_PKCS12 "$ENV{QM_SIGN_PKCS12}" CACHE FILEPATH
  "PKCS#12 file whose certificate signs the Windows programs and the MSI (empty: no signing)")
set(QM_SIGN_PKCS11_MODULE "$ENV{QM_SIGN_PKCS11_MODULE}" CACHE FILEPATH
  "PKCS#11 module of the token that holds the signing key (instead of QM_SIGN_PKCS12)")
set(QM_SIGN_PKCS11_KEY "$ENV{QM_SIGN_PKCS11_KEY}" CACHE STRING
  "PKCS#11 URI of the signing key on the token, e.g. pkcs11:token=Code;object=sign")
set(QM_SIGN_CERTS "$ENV{QM_SIGN_CERTS}" CACHE FILEPATH
  "PEM or DER file with the certificate chain of the PKCS#11 key")
set(QM_SIGN_TIMESTAMP_URL "$ENV{QM_SIGN_TIMESTAMP_URL}" CACHE STRING
  "RFC 3161 time-stamp server for the signatures (empty: no time stamp; a release build needs one)")
set(QM_SIGN_PASSWORD_FILE "$ENV{QM_SIGN_PASSWORD_FILE}" CACHE FILEPATH
  "File holding the PKCS#12 password or the token's PIN (else the environment variable QM_SIGN_PASSWORD at build time)")
option(QM_RELEASE "A release build: refuses the placeholder publisher, unsigned packages and signatures without a time stamp" OFF)
qm_check_release()
set(qm_sign)
set(qm_sign_depends)
if(QM_SIGN_PKCS12 OR QM_SIGN_PKCS11_KEY)
  find_program(QM_OSSLSIGNCODE osslsigncode REQUIRED)
  set(qm_sign ${PROJECT_SOURCE_DIR}/cmake/authenticode-sign.sh)
  if(QM_SIGN_TIMESTAMP_URL)
    list(APPEND qm_sign --timestamp ${QM_SIGN_TIMESTAMP_URL})
  endif()
  if(QM_SIGN_PASSWORD_FILE)
    list(APPEND qm_sign --password-file ${QM_SIGN_PASSWORD_FILE})
  endif()
  if(QM_SIGN_PKCS11_KEY)
    if(NOT QM_SIGN_PKCS11_MODULE OR NOT QM_SIGN_CERTS)
      message(FATAL_ERROR "QM_SIGN_PKCS11_KEY needs QM_SIGN_PKCS11_MODULE and QM_SIGN_CERTS")
    endif()
    list(APPEND qm_sign --pkcs11-module ${QM_SIGN_PKCS11_MODULE} --certs ${QM_SIGN_CERTS}
         ${QM_OSSLSIGNCODE} ${QM_SIGN_PKCS11_KEY})
    set(qm_sign_depends ${QM_SIGN_CERTS})
    message(STATUS "Windows programs and MSI signed with the key ${QM_SIGN_PKCS11_KEY}")
  else()
    list(APPEND qm_sign ${QM_OSSLSIGNCODE} ${QM_SIGN_PKCS12})
    set(qm_sign_depends ${QM_SIGN_PKCS12})
    message(STATUS "Windows programs and MSI signed with ${QM_SIGN_PKCS12}")
  endif()
  list(APPEND qm_sign_depends ${PROJECT_SOURCE_DIR}/cmake/authenticode-sign.sh)
endif()

# The package folder: stripped copies of the programs (without the
# debugging information of RelWithDebInfo builds), signed after stripping,
# since stripping a signed file breaks its signature.
set(QM_PACKAGE_FILES ${PROJECT_BINARY_DIR}/package-files)
set(qm_packaged)
foreach(program quillmark quillmark-card quillmark-host quillmark-ipc)
  set(out ${QM_PACKAGE_FILES}/${program}.exe)
  set(sign_step)
  if(qm_sign)
    set(sign_step COMMAND ${qm_sign} ${out})
  endif()
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QM_PACKAGE_FILES}
    COMMAND ${CMAKE_STRIP} -o ${out} $<TARGET_FILE:${program}>
    ${sign_step}
    DEPENDS ${program} ${qm_sign_depends}
    COMMENT "Package copy of ${program}.exe"
    VERBATIM)
  list(APPEND qm_packaged ${out})
endforeach()
add_custom_target(quillmark-package-files ALL DEPENDS ${qm_packaged})

# The MSI, when wixl is installed (./check installs it).
find_program(QM_WIXL wixl)
# "Apps" shows these as the publisher's links and contact (ARPURLINFOABOUT,
# ARPHELPLINK, ARPCONTACT); empty ones are left out of the package.
set(QM_ARP_URL_INFO_ABOUT "" CACHE STRING "Publisher's web address shown in \"Apps\" (ARPURLINFOABOUT)")
set(QM_ARP_HELP_LINK "" CACHE STRING "Support web address shown in \"Apps\" (ARPHELPLINK)")
set(QM_ARP_CONTACT "" CACHE STRING "Support contact shown in \"Apps\" (ARPCONTACT)")
# The UpgradeCode of every Quillmark MSI, past and future: never change it.
set(QM_MSI_UPGRADE_CODE 654B19D1-A0F6-4D74-AEBA-3602A7D9063E)
if(QM_WIXL)
  # The values go into XML attributes.
  function(qm_xml_text out text)
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE "\"" "&quot;" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
  endfunction()
  qm_xml_text(QM_MSI_MANUFACTURER "${QM_COMPANY_NAME}")
  set(QM_MSI_ARP_PROPERTIES)
  foreach(property URL_INFO_ABOUT HELP_LINK CONTACT)
    if(QM_ARP_${property})
      qm_xml_text(value "${QM_ARP_${property}}")
      string(REPLACE "_" "" name "${property}")
      string(APPEND QM_MSI_ARP_PROPERTIES "    <Property Id=\"ARP${name}\" Value=\"${value}\"/>\n")
    endif()
  endforeach()
  # wixl reads files only by paths relative to the .wxs file's folder.
  set(QM_WXS ${PROJECT_BINARY_DIR}/quillmark.wxs)
  file(RELATIVE_PATH QM_MSI_FILES ${PROJECT_BINARY_DIR} ${QM_PACKAGE_FILES})
  file(RELATIVE_PATH QM_MSI_SOURCES ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
  set(QM_MSI_ICON ${QM_MSI_SOURCES}/src/app/win32/quillmark.ico)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/quillmark.wxs.in ${QM_WXS} @ONLY)
  set(QM_MSI ${PROJECT_BINARY_DIR}/quillmark-${PROJECT_VERSION}-win64.msi)
  set(sign_step)
  if(qm_sign)
    set(sign_step COMMAND ${qm_sign} ${QM_MSI})
  endif()
  add_custom_command(OUTPUT ${QM_MSI} ${PROJECT_BINARY_DIR}/quillmark-${PROJECT_VERSION}-win64.productcode.txt
    COMMAND ${CMAKE_COMMAND} -DWIXL=${QM_WIXL} -DWXS=${QM_WXS} -DVERSION=${PROJECT_VERSION}
            -DUPGRADE_CODE=${QM_MSI_UPGRADE_CODE} -DOUT=${QM_MSI} -P ${PROJECT_SOURCE_DIR}/cmake/msi-build.cmake
    ${sign_step}
    DEPENDS ${QM_WXS} ${qm_packaged} ${qm_sign_depends} ${PROJECT_SOURCE_DIR}/src/app/win32/quillmark.ico
            ${PROJECT_SOURCE_DIR}/cmake/msi-build.cmake
            ${PROJECT_SOURCE_DIR}/docs/host-integration.md ${PROJECT_SOURCE_DIR}/docs/windows-deployment.md
            ${PROJECT_SOURCE_DIR}/samples/anna-berg.json
    COMMENT "Windows Installer package quillmark-${PROJECT_VERSION}-win64.msi"
    VERBATIM)
  add_custom_target(quillmark-msi ALL DEPENDS ${QM_MSI})
else()
  message(STATUS "wixl not found: no MSI (install the Debian package wixl)")
endif()

# The zip holds the same program files as the MSI.
install(PROGRAMS ${qm_packaged} DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/samples/anna-berg.json DESTINATION samples)
install(FILES ${PROJECT_SOURCE_DIR}/docs/host-integration.md ${PROJECT_SOURCE_DIR}/docs/windows-deployment.md
  DESTINATION .)
# The Group Policy template, laid out as the PolicyDefinitions folder it is
# copied into.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/policy/ DESTINATION PolicyDefinitions)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR Quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME quillmark-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# The package folder's programs are stripped already; stripping them again
# would break their signatures.
set(CPACK_STRIP_FILES OFF)
include(CPack)
