# VantroSetup.exe: a small PE32 GUI program. No exceptions, no RTTI, and no C++
# runtime beyond what the compiler needs: everything it imports is a system DLL.
# Each function and datum in a section of its own, so that the linker drops what
# is never used; the whole program optimised as one at the link; no unwind
# tables (nothing unwinds without exceptions); no frame pointer (one more register,
# and no frame to set up in every function).
set(VANTRO_PRODUCT_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
    -fno-threadsafe-statics -ffunction-sections -fdata-sections -fno-ident -fomit-frame-pointer -flto -mpreferred-stack-boundary=2 -Wall -Wextra)

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

add_executable(VantroSetup WIN32 ${VANTRO_LOGIC_SOURCES} ${CMAKE_SOURCE_DIR}/platform/win32/entry.cpp ${VANTRO_RES})
target_include_directories(VantroSetup PRIVATE ${VANTRO_LOGIC_INCLUDES} ${CMAKE_SOURCE_DIR}/platform/win32)
target_compile_options(VantroSetup PRIVATE ${VANTRO_PRODUCT_FLAGS})
# No C runtime start-up (platform/win32/entry.cpp is the entry), no relocations
# (an executable always loads at its own base): only the system's known DLLs
# (LZ32 is loaded by full path, see platform/win32/platform.h), msvcrt for the
# few C functions called, libgcc for the compiler's helpers.
target_link_options(VantroSetup PRIVATE -flto -Os -fomit-frame-pointer -mpreferred-stack-boundary=2 -nostdlib -nostartfiles -Wl,-e,_VantroStartup@0 -s -Wl,--gc-sections
                    -Wl,--disable-reloc-section)
target_link_libraries(VantroSetup PRIVATE comdlg32 advapi32 gdi32 user32 kernel32 msvcrt gcc)

# Windows builds of the tests that pin the platform's behaviour, run under Wine.
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/win32/CMakeLists.txt)
  add_subdirectory(tests/win32)
endif()
