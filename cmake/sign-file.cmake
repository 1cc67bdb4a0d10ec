# cmake -DOSSLSIGNCODE=... -DCERT=... -DKEY=... [-DTIMESTAMP_URL=...]
#       -DDESCRIPTION=... -DINPUT=<file> -DOUTPUT=<file> -P sign-file.cmake
# Signs INPUT into OUTPUT (see cmake/sign.cmake). OUTPUT is written whole or not
# at all: the signed form goes to OUTPUT.signing first and is renamed into place.
foreach(var OSSLSIGNCODE CERT KEY DESCRIPTION INPUT OUTPUT)
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

set(partial ${OUTPUT}.signing)
file(REMOVE ${partial})
execute_process(
  COMMAND ${OSSLSIGNCODE} sign ${cert_option} ${CERT} -key ${KEY} -h sha256
          -n ${DESCRIPTION} ${timestamp} -in ${INPUT} -out ${partial}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT EXISTS ${partial})
  file(REMOVE ${partial})
  if(INPUT STREQUAL OUTPUT)
    file(REMOVE ${INPUT})
  else()
    file(REMOVE ${OUTPUT})
  endif()
  message(FATAL_ERROR "Signing ${INPUT} failed (osslsigncode: ${result}):\n${output}")
endif()
file(RENAME ${partial} ${OUTPUT})
