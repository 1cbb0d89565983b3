# What a release build of the Windows packages must have, checked when it is
# configured (-DQM_RELEASE=ON): the organisation's own name as publisher
# instead of the placeholder, signed programs and MSI, and signatures with
# an RFC 3161 time stamp, without which they stop verifying when the
# certificate expires. The test runs the check as a script:
#   cmake -DQM_RELEASE=ON -DQM_COMPANY_NAME=... [-DQM_SIGN_...=...] -P ReleaseCheck.cmake

# The owner's name until the owner sets it (cmake/Quillmark.cmake).
set(QM_PLACEHOLDER_OWNER "Quillmark developers")

function(qm_check_release)
  if(NOT QM_RELEASE)
    return()
  endif()
  set(problems)
  if(QM_COMPANY_NAME STREQUAL "" OR QM_COMPANY_NAME STREQUAL QM_PLACEHOLDER_OWNER)
    list(APPEND problems "QM_COMPANY_NAME names no publisher (\"${QM_COMPANY_NAME}\")")
  endif()
  if(NOT QM_SIGN_PKCS12 AND NOT QM_SIGN_PKCS11_KEY)
    list(APPEND problems "nothing signs: set QM_SIGN_PKCS12 or QM_SIGN_PKCS11_MODULE and QM_SIGN_PKCS11_KEY")
  endif()
  if(NOT QM_SIGN_TIMESTAMP_URL)
    list(APPEND problems "QM_SIGN_TIMESTAMP_URL is empty: the signatures would carry no time stamp")
  endif()
  if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "A release build (QM_RELEASE) needs:\n  ${text}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  qm_check_release()
endif()
