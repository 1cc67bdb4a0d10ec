# The product's version and its copyright year: the one place both builds take
# them from (the installer's build, and the stand-in product's, which builds
# uninst32.exe).
#
# VANTRO_PROJECT_VERSION is the installer project's version (project() takes
# it). A release engineer gives another with -DVANTRO_VERSION=4.2.0.17. The
# copyright year is that of SOURCE_DATE_EPOCH when it is set, otherwise the
# fixed year below: never the date of the machine that builds, so that two
# builds of one tree are the same to the byte.
set(VANTRO_PROJECT_VERSION 1.0.0.0)
set(VANTRO_FIXED_COPYRIGHT_YEAR 2026)

# vantro_release_values(VERSION): checks VERSION (one to four numbers of 0 to
# 65535, dot-separated) and sets, in the caller's scope,
#   VANTRO_VERSION_TEXT    the version as given, for the string values
#   VANTRO_VERSION_COMMAS  four numbers, comma-separated (missing ones 0), for
#                          FILEVERSION and PRODUCTVERSION
#   VANTRO_COPYRIGHT_YEAR  unless the caller has set it (the installer's build
#                          hands its own to the stand-in's)
function(vantro_release_values version)
  if(NOT version MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
    message(FATAL_ERROR "VANTRO_VERSION must be one to four numbers separated by dots, as 4.2.0.17: '${version}'")
  endif()
  string(REPLACE "." ";" parts "${version}")
  list(LENGTH parts count)
  while(count LESS 4)
    list(APPEND parts 0)
    math(EXPR count "${count} + 1")
  endwhile()
  foreach(part ${parts})
    if(part GREATER 65535)
      message(FATAL_ERROR "VANTRO_VERSION: each number is a 16-bit field of the version resource (at most 65535): '${version}'")
    endif()
  endforeach()
  list(JOIN parts "," commas)
  set(VANTRO_VERSION_TEXT "${version}" PARENT_SCOPE)
  set(VANTRO_VERSION_COMMAS "${commas}" PARENT_SCOPE)
  if(NOT VANTRO_COPYRIGHT_YEAR)
    if(DEFINED ENV{SOURCE_DATE_EPOCH})
      # string(TIMESTAMP) reads SOURCE_DATE_EPOCH itself when it is set.
      string(TIMESTAMP year "%Y" UTC)
    else()
      set(year ${VANTRO_FIXED_COPYRIGHT_YEAR})
    endif()
    set(VANTRO_COPYRIGHT_YEAR ${year} PARENT_SCOPE)
  endif()
endfunction()
