# VantroSetup.exe: a small PE32 GUI program. No exceptions, no RTTI, and no C++
# runtime beyond what the compiler needs: everything it imports is a system DLL.
# Each function and datum in a section of its own, so that the linker drops what
# is never used; the whole program optimised as one at the link; no unwind
# tables (nothing unwinds without exceptions); no frame pointer (one more register,
# and no frame to set up in every function).
set(VANTRO_PRODUCT_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
    -fno-threadsafe-statics -ffunction-sections -fdata-sections -fno-ident -fomit-frame-pointer -flto -mpreferred-stack-boundary=2 -Wall -Wextra
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
# Nothing of the folders it is built in goes into the program (the prefix maps
# above), and no time stamp either (--no-insert-timestamp): two builds of one
# tree give the same file to the byte.

set(CMAKE_RC_FLAGS "")
enable_language(RC)
set(VANTRO_RC_FLAGS "")
foreach(dir ${VANTRO_RC_INCLUDES})
  list(APPEND VANTRO_RC_FLAGS --include-dir=${dir})
endforeach()
set(VANTRO_RES ${CMAKE_BINARY_DIR}/vantro.res.o)
add_custom_command(OUTPUT ${VANTRO_RES}
  COMMAND ${CMAKE_RC_COMPILER} ${VANTRO_RC_FLAGS} -O coff
          -i ${CMAKE_SOURCE_DIR}/resources/vantro.rc -o ${VANTRO_RES}
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/vantro.rc ${VANTRO_RC_DEPENDS}
  COMMENT "Compiling the resources")
# The test programs of tests/win32 link the same resources: they wait for this.
add_custom_target(vantro_res DEPENDS ${VANTRO_RES})

# The release resources of VantroSetup.exe alone (the test programs that link
# the resources above are no release): the manifest and the version.
set(VANTRO_ORIGINAL_FILENAME VantroSetup.exe)
set(VANTRO_FILE_DESCRIPTION "Vantro Pro Setup")
set(VANTRO_MANIFEST_FILE ${CMAKE_SOURCE_DIR}/resources/vantro.manifest)
set(VANTRO_RELEASE_RC ${CMAKE_BINARY_DIR}/release/release.rc)
configure_file(${CMAKE_SOURCE_DIR}/resources/release.rc.in ${VANTRO_RELEASE_RC} @ONLY)
set(VANTRO_RELEASE_RES ${CMAKE_BINARY_DIR}/release/release.res.o)
add_custom_command(OUTPUT ${VANTRO_RELEASE_RES}
  COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${VANTRO_RELEASE_RC} -o ${VANTRO_RELEASE_RES}
  DEPENDS ${VANTRO_RELEASE_RC} ${VANTRO_MANIFEST_FILE}
  COMMENT "Compiling the manifest and the version")

add_executable(VantroSetup WIN32 ${VANTRO_LOGIC_SOURCES} ${CMAKE_SOURCE_DIR}/platform/win32/entry.cpp ${VANTRO_RES}
               ${VANTRO_RELEASE_RES})
target_include_directories(VantroSetup PRIVATE ${VANTRO_LOGIC_INCLUDES} ${CMAKE_SOURCE_DIR}/platform/win32)
target_compile_options(VantroSetup PRIVATE ${VANTRO_PRODUCT_FLAGS})
# No C runtime start-up (platform/win32/entry.cpp is the entry): only the
# system's known DLLs (LZ32 is loaded by full path, see
# platform/win32/platform.h), msvcrt for the few C functions called, libgcc for
# the compiler's helpers. Relocations are kept and the image is marked movable
# (DYNAMIC_BASE) and its data not executable (NX_COMPAT), so that Windows loads
# it at a random base with data execution prevention on.
#
# libgcc's stack probe (___chkstk_ms, for the frames that hold the larger fixed
# buffers) is named to the linker up front (-u): referred to only by the code
# the link-time optimisation makes, it would otherwise be loaded after that
# code, and ld 2.40 then crashes while it builds the relocation table.
target_link_options(VantroSetup PRIVATE -flto -Os -fomit-frame-pointer -mpreferred-stack-boundary=2 -nostdlib -nostartfiles -Wl,-e,_VantroStartup@0 -s -Wl,--gc-sections
                    -Wl,--enable-reloc-section -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp
                    -Wl,-u,___chkstk_ms)
target_link_libraries(VantroSetup PRIVATE comdlg32 advapi32 gdi32 user32 kernel32 msvcrt gcc)

# With -DVANTRO_SIGN_CERT and -DVANTRO_SIGN_KEY (cmake/sign.cmake), the linked
# file, resources final, is replaced by its signed form.
if(VANTRO_SIGN)
  vantro_sign_command(sign_setup $<TARGET_FILE:VantroSetup> $<TARGET_FILE:VantroSetup> "Vantro Pro Setup")
  add_custom_command(TARGET VantroSetup POST_BUILD COMMAND ${sign_setup}
    COMMENT "Signing VantroSetup.exe" VERBATIM)
endif()

# Windows builds of the tests that pin the platform's behaviour, run under Wine.
# -DVANTRO_BUILD_TESTS=OFF leaves them (and GoogleTest) out: a build of the
# release executables only.
option(VANTRO_BUILD_TESTS "Build the Windows test programs of tests/win32" ON)
if(VANTRO_BUILD_TESTS AND EXISTS ${CMAKE_SOURCE_DIR}/tests/win32/CMakeLists.txt)
  add_subdirectory(tests/win32)
endif()
