# Signing, as a build option. With
#   -DVANTRO_SIGN_CERT=<certificates: .pem, or .spc>  -DVANTRO_SIGN_KEY=<private key .pem>
#   [-DVANTRO_SIGN_TIMESTAMP_URL=<RFC 3161 time-stamp server>]
# the build signs (Authenticode, SHA-256, with osslsigncode) our uninst32.exe
# before it is packed into the payload (cmake/payload.cmake), and
# VantroSetup.exe once its resources are final (cmake/win32.cmake). Without
# them nothing is signed and nothing else changes.
#
# The signature is appended to the file as its certificate table: the packed
# payload, its check table and the resources the installer reads with
# FindResource are those of the file as linked.
set(VANTRO_SIGN_CERT "" CACHE FILEPATH "Code-signing certificate chain (.pem, or .spc) for VantroSetup.exe and uninst32.exe")
set(VANTRO_SIGN_KEY "" CACHE FILEPATH "Private key (.pem) of VANTRO_SIGN_CERT")
set(VANTRO_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures (none by default)")

set(VANTRO_SIGN FALSE)
if(VANTRO_SIGN_CERT OR VANTRO_SIGN_KEY)
  if(NOT VANTRO_SIGN_CERT OR NOT VANTRO_SIGN_KEY)
    message(FATAL_ERROR "Signing needs both VANTRO_SIGN_CERT and VANTRO_SIGN_KEY")
  endif()
  foreach(file VANTRO_SIGN_CERT VANTRO_SIGN_KEY)
    if(NOT EXISTS "${${file}}")
      message(FATAL_ERROR "${file} does not exist: ${${file}}")
    endif()
  endforeach()
  find_program(VANTRO_OSSLSIGNCODE osslsigncode)
  if(NOT VANTRO_OSSLSIGNCODE)
    message(FATAL_ERROR "Signing needs osslsigncode (script/bootstrap installs it)")
  endif()
  set(VANTRO_SIGN TRUE)
  message(STATUS "Signing: VantroSetup.exe and uninst32.exe with ${VANTRO_SIGN_CERT}")
endif()

# vantro_sign_command(VAR INPUT OUTPUT DESCRIPTION): sets VAR to the command
# that signs INPUT into OUTPUT (the same file: replaced by its signed form),
# DESCRIPTION being the program's name in the signature. A failed signing
# leaves no OUTPUT, and removes INPUT when it was to be replaced, so that the
# next build links and signs it again rather than keep an unsigned file.
function(vantro_sign_command var input output description)
  set(${var} ${CMAKE_COMMAND} -DOSSLSIGNCODE=${VANTRO_OSSLSIGNCODE}
      -DCERT=${VANTRO_SIGN_CERT} -DKEY=${VANTRO_SIGN_KEY}
      -DTIMESTAMP_URL=${VANTRO_SIGN_TIMESTAMP_URL} -DDESCRIPTION=${description}
      -DINPUT=${input} -DOUTPUT=${output} -P ${CMAKE_SOURCE_DIR}/cmake/sign-file.cmake PARENT_SCOPE)
endfunction()
