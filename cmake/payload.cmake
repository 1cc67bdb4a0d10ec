# The payload: the product files the installer carries, packed into resources.
#
# Files come from the stand-in product (stand-in/, a project of its own built
# with the mingw toolchain in both builds, which leaves every file under the
# name it is installed with in ${CMAKE_BINARY_DIR}/stand-in/files/), replaced
# file by file by those of -DVANTRO_PAYLOAD_DIR=<folder> (names compared
# without regard to case). Every carried row of payload/payload_rows.inc is
# packed with szddpack into ${CMAKE_BINARY_DIR}/payload/<packed name>, except
# the client's configuration template (INIFILE1), which is carried as plain
# text; -DVANTRO_INSTALL_INI=<file> adds an options file as INSTINI, as it is.
# With signing on (cmake/sign.cmake), the stand-in's uninst32.exe is signed into
# ${CMAKE_BINARY_DIR}/payload/signed/ and that file is packed.
#
# ${CMAKE_BINARY_DIR}/payload/payload.rc names each resource, for example
#   EXEFILE2 EXE "tclassic.ex_"
# and always exists (empty when there is no payload), so resources/vantro.rc
# can include it in both builds.

set(VANTRO_PAYLOAD_DIR "" CACHE PATH "Folder of real product files that replace the stand-ins")
set(VANTRO_INSTALL_INI "" CACHE FILEPATH "Options file to embed as INSTINI (none by default)")

set(VANTRO_PAYLOAD_OUT ${CMAKE_BINARY_DIR}/payload)
set(VANTRO_PAYLOAD_RC ${VANTRO_PAYLOAD_OUT}/payload.rc)
set(VANTRO_STANDIN_FILES ${CMAKE_BINARY_DIR}/stand-in/files)
file(MAKE_DIRECTORY ${VANTRO_PAYLOAD_OUT})

# The rows: resource name, installed name, packed name, carried.
file(STRINGS ${CMAKE_SOURCE_DIR}/payload/payload_rows.inc VANTRO_ROWS REGEX "^PAYLOAD_ROW\\(")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/payload/payload_rows.inc)
set(VANTRO_ROW_REGEX "^PAYLOAD_ROW\\(\"([A-Za-z0-9_]+)\", *\"([^\"]+)\", *\"([^\"]+)\", *([01])\\)")

# Real product files, by upper-cased name.
set(VANTRO_REAL_NAMES "")
if(VANTRO_PAYLOAD_DIR)
  if(NOT IS_DIRECTORY "${VANTRO_PAYLOAD_DIR}")
    message(FATAL_ERROR "VANTRO_PAYLOAD_DIR is not a folder: ${VANTRO_PAYLOAD_DIR}")
  endif()
  file(GLOB real_files LIST_DIRECTORIES false "${VANTRO_PAYLOAD_DIR}/*")
  # Windows does not tell names apart by case: two such files would silently
  # replace each other, so the release engineer is told instead.
  set(clashes "")
  foreach(path ${real_files})
    get_filename_component(name ${path} NAME)
    string(TOUPPER ${name} key)
    if(DEFINED VANTRO_REAL_FILE_${key})
      get_filename_component(other ${VANTRO_REAL_FILE_${key}} NAME)
      list(APPEND clashes "${other} and ${name}")
    endif()
    set(VANTRO_REAL_FILE_${key} ${path})
    list(APPEND VANTRO_REAL_NAMES ${key})
  endforeach()
  if(clashes)
    list(JOIN clashes "; " clash_text)
    message(FATAL_ERROR "VANTRO_PAYLOAD_DIR holds files whose names differ only in case: ${clash_text}")
  endif()
endif()

set(VANTRO_HAVE_STANDIN FALSE)
if(EXISTS ${CMAKE_SOURCE_DIR}/stand-in/CMakeLists.txt)
  set(VANTRO_HAVE_STANDIN TRUE)
endif()

# Which file each carried row takes, and what becomes of it.
set(VANTRO_PAYLOAD_RC_TEXT "")
set(VANTRO_PAYLOAD_OUTPUTS "")
set(VANTRO_STANDIN_BYPRODUCTS "")
set(VANTRO_MISSING "")
set(VANTRO_CRC_ROWS "")  # per row, the resource file whose CRC the check table holds, or "-"
foreach(row ${VANTRO_ROWS})
  if(NOT row MATCHES "${VANTRO_ROW_REGEX}")
    message(FATAL_ERROR "payload_rows.inc: cannot read row: ${row}")
  endif()
  set(res ${CMAKE_MATCH_1})
  set(installed ${CMAKE_MATCH_2})
  set(packed ${CMAKE_MATCH_3})
  set(carried ${CMAKE_MATCH_4})
  if(NOT carried)
    list(APPEND VANTRO_CRC_ROWS -)
    continue()
  endif()
  string(TOUPPER ${installed} key)
  list(REMOVE_ITEM VANTRO_REAL_NAMES ${key})
  if(DEFINED VANTRO_REAL_FILE_${key})
    set(src ${VANTRO_REAL_FILE_${key}})
    set(src_dep ${src})
  elseif(VANTRO_HAVE_STANDIN)
    set(src ${VANTRO_STANDIN_FILES}/${installed})
    set(src_dep ${src} standin)
    list(APPEND VANTRO_STANDIN_BYPRODUCTS ${src})
  else()
    list(APPEND VANTRO_MISSING ${installed})
    list(APPEND VANTRO_CRC_ROWS -)
    continue()
  endif()
  # Our own uninst32.exe is signed before it is packed, so that what is packed,
  # and so the check table, is the signed file. A product's own uninst32.exe
  # (VANTRO_PAYLOAD_DIR) is the vendor's, packed as given, like its other files.
  if(VANTRO_SIGN AND key STREQUAL "UNINST32.EXE" AND NOT DEFINED VANTRO_REAL_FILE_${key})
    set(signed ${VANTRO_PAYLOAD_OUT}/signed/${installed})
    vantro_sign_command(sign_uninst ${src} ${signed} "Vantro Pro Uninstall")
    add_custom_command(OUTPUT ${signed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTRO_PAYLOAD_OUT}/signed
      COMMAND ${sign_uninst}
      DEPENDS ${src_dep} ${VANTRO_SIGN_CERT} ${VANTRO_SIGN_KEY} ${CMAKE_SOURCE_DIR}/cmake/sign-file.cmake
      COMMENT "Payload ${res}: signing ${installed}" VERBATIM)
    set(src ${signed})
    set(src_dep ${signed})
  elseif(VANTRO_SIGN AND key STREQUAL "UNINST32.EXE")
    message(STATUS "Signing: uninst32.exe of VANTRO_PAYLOAD_DIR is packed as given, not signed")
  endif()
  set(out ${VANTRO_PAYLOAD_OUT}/${packed})
  if(res STREQUAL "INIFILE1")
    # The configuration template is merged as text, never expanded.
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E copy ${src} ${out}
      DEPENDS ${src_dep}
      COMMENT "Payload ${res}: ${installed} (plain text)")
  else()
    add_custom_command(OUTPUT ${out}
      COMMAND ${VANTRO_SZDDPACK} ${src} ${out}
      DEPENDS ${src_dep} ${VANTRO_TOOLS_TARGET} ${CMAKE_SOURCE_DIR}/tools/szddpack.cpp
              ${CMAKE_SOURCE_DIR}/payload/szdd_format.h
      COMMENT "Payload ${res}: packing ${installed}")
  endif()
  list(APPEND VANTRO_PAYLOAD_OUTPUTS ${out})
  list(APPEND VANTRO_CRC_ROWS ${out})
  string(APPEND VANTRO_PAYLOAD_RC_TEXT "${res} EXE \"${packed}\"\n")
endforeach()

# A product file that no carried row takes would be left out of the installer
# without a word: a misspelt name must stop the build.
if(VANTRO_REAL_NAMES)
  set(unused "")
  foreach(key ${VANTRO_REAL_NAMES})
    get_filename_component(name ${VANTRO_REAL_FILE_${key}} NAME)
    list(APPEND unused ${name})
  endforeach()
  list(JOIN unused ", " unused_text)
  message(FATAL_ERROR "VANTRO_PAYLOAD_DIR holds files that the installer carries under no name: ${unused_text}")
endif()

if(VANTRO_INSTALL_INI)
  if(NOT EXISTS "${VANTRO_INSTALL_INI}")
    message(FATAL_ERROR "VANTRO_INSTALL_INI does not exist: ${VANTRO_INSTALL_INI}")
  endif()
  set(out ${VANTRO_PAYLOAD_OUT}/Install.ini)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E copy ${VANTRO_INSTALL_INI} ${out}
    DEPENDS ${VANTRO_INSTALL_INI}
    COMMENT "Payload INSTINI: Install.ini (as it is)")
  list(APPEND VANTRO_PAYLOAD_OUTPUTS ${out})
  # The options file is the last row.
  list(POP_BACK VANTRO_CRC_ROWS)
  list(APPEND VANTRO_CRC_ROWS ${out})
  string(APPEND VANTRO_PAYLOAD_RC_TEXT "INSTINI EXE \"Install.ini\"\n")
endif()

# The check table of every carried resource, made from the very bytes embedded.
set(VANTRO_CRC_TABLE ${VANTRO_PAYLOAD_OUT}/payload.crc)
set(crc_inputs ${VANTRO_CRC_ROWS})
list(REMOVE_ITEM crc_inputs -)
add_custom_command(OUTPUT ${VANTRO_CRC_TABLE}
  COMMAND ${VANTRO_SZDDPACK} --crc-table ${VANTRO_CRC_TABLE} ${VANTRO_CRC_ROWS}
  DEPENDS ${crc_inputs} ${VANTRO_TOOLS_TARGET} ${CMAKE_SOURCE_DIR}/tools/szddpack.cpp
          ${CMAKE_SOURCE_DIR}/payload/payload_crc.h
  COMMENT "Payload: the check table")
list(APPEND VANTRO_PAYLOAD_OUTPUTS ${VANTRO_CRC_TABLE})
string(APPEND VANTRO_PAYLOAD_RC_TEXT "PAYLOAD CRC \"payload.crc\"\n")

if(VANTRO_HAVE_STANDIN)
  include(ExternalProject)
  ExternalProject_Add(standin
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/stand-in
    BINARY_DIR ${CMAKE_BINARY_DIR}/stand-in
    # uninst32.exe carries the installer's version and copyright year.
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
               -DCMAKE_BUILD_TYPE=MinSizeRel
               -DVANTRO_VERSION=${VANTRO_VERSION_TEXT}
               -DVANTRO_COPYRIGHT_YEAR=${VANTRO_COPYRIGHT_YEAR}
    INSTALL_COMMAND ""
    BUILD_ALWAYS 1
    BUILD_BYPRODUCTS ${VANTRO_STANDIN_BYPRODUCTS})
elseif(VANTRO_MISSING)
  list(LENGTH VANTRO_MISSING missing_count)
  message(STATUS "Payload: no stand-in product (stand-in/CMakeLists.txt) and no file in "
                 "VANTRO_PAYLOAD_DIR for ${missing_count} carried rows; they are left out")
endif()

list(LENGTH VANTRO_PAYLOAD_OUTPUTS payload_count)
message(STATUS "Payload: ${payload_count} resources")

# The resource lines; rewritten only when they change, so the resources are
# not rebuilt on every configure.
if(VANTRO_PAYLOAD_RC_TEXT STREQUAL "")
  set(VANTRO_PAYLOAD_RC_TEXT "// This build carries no payload.\n")
endif()
file(CONFIGURE OUTPUT ${VANTRO_PAYLOAD_RC}
  CONTENT "// The payload resources, generated by cmake/payload.cmake from payload/payload_rows.inc.\n${VANTRO_PAYLOAD_RC_TEXT}"
  @ONLY)

add_custom_target(payload DEPENDS ${VANTRO_PAYLOAD_OUTPUTS})
list(APPEND VANTRO_RC_INCLUDES ${VANTRO_PAYLOAD_OUT})
list(APPEND VANTRO_RC_DEPENDS ${VANTRO_PAYLOAD_RC} ${VANTRO_PAYLOAD_OUTPUTS})
