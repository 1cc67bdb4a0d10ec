# cmake -DOSSLSIGNCODE=... -DCERT=... -DKEY=... [-DTIMESTAMP_URL=...]
#       -DDESCRIPTION=... -DIN=<file> -DOUT=<file> -P sign-file.cmake
# Signs IN into OUT (see cmake/sign.cmake). OUT is written whole or not at all:
# the signed form goes to OUT.signing first and is renamed into place.
foreach(var OSSLSIGNCODE CERT KEY DESCRIPTION IN OUT)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "sign-file.cmake: ${var} is not given")
  endif()
endforeach()

# A software publisher certificate (.spc, PKCS#7) is given as such; anything
# else is taken as PEM or DER certificates.
set(cert_option -certs)
if(CERT MATCHES "\\.[sS][pP][cC]$")
  set(cert_option -spc)
endif()
set(timestamp "")
if(TIMESTAMP_URL)
  set(timestamp -ts ${TIMESTAMP_URL})
endif()

set(partial ${OUT}.signing)
file(REMOVE ${partial})
execute_process(
  COMMAND ${OSSLSIGNCODE} sign ${cert_option} ${CERT} -key ${KEY} -h sha256
          -n ${DESCRIPTION} ${timestamp} -in ${IN} -out ${partial}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT EXISTS ${partial})
  file(REMOVE ${partial})
  if(IN STREQUAL OUT)
    file(REMOVE ${IN})
  else()
    file(REMOVE ${OUT})
  endif()
  message(FATAL_ERROR "Signing ${IN} failed (osslsigncode: ${result}):\n${output}")
endif()
file(RENAME ${partial} ${OUT})
