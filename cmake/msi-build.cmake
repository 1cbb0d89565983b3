# cmake -DWIXL=<wixl> -DWXS=<quillmark.wxs> -DVERSION=<x.y.z>
#       -DUPGRADE_CODE=<guid> -DOUT=<package.msi> -P msi-build.cmake
#
# Writes the MSI of VERSION and, beside it, <package>.productcode.txt with
# its ProductCode in braces, as detection rules and "msiexec /x" take it.
# The ProductCode is the name-based (SHA-1, RFC 4122 version 5) UUID of the
# version in the UpgradeCode's namespace: the same for every build of one
# version, different for every other version, and computable by anyone who
# knows both.
foreach(var WIXL WXS VERSION UPGRADE_CODE OUT)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "msi-build.cmake: ${var} is not given")
  endif()
endforeach()
if(NOT VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "msi-build.cmake: the version \"${VERSION}\" is not x.y.z")
endif()
# The UpgradeCode with or without braces, as the Property table shows it.
string(REGEX REPLACE "^{(.*)}$" "\\1" UPGRADE_CODE "${UPGRADE_CODE}")
string(UUID product_code NAMESPACE "${UPGRADE_CODE}" NAME "${VERSION}" TYPE SHA1 UPPER)
execute_process(
  COMMAND "${WIXL}" --arch x64 -D "QmVersion=${VERSION}" -D "QmProductCode=${product_code}"
          -D "QmUpgradeCode=${UPGRADE_CODE}" -o "${OUT}" "${WXS}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "wixl failed (${status}) on ${WXS}")
endif()
# wixl writes the summary's template as "<platform>;1033" whatever the
# product's language; the package is German (ProductLanguage 1031), and the
# template names the language of the installer's own texts. The string has
# the same length either way, so it is replaced in place in the summary
# stream (perl, which every Debian system has); exactly one occurrence is
# expected.
execute_process(
  COMMAND perl -0777 -pi -e "my $n = s/x64;1033/x64;1031/g; $n == 1 or die \"$n templates x64;1033\\n\"" "${OUT}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "msi-build.cmake: the summary template of ${OUT} cannot be set to German")
endif()

string(REGEX REPLACE "\\.msi$" "" stem "${OUT}")
file(WRITE "${stem}.productcode.txt" "{${product_code}}\n")
