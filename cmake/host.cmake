# The logic over the simulated machine, its tests, and the fuzzers.
option(VANTRO_SANITIZE "Build with AddressSanitizer and UBSan" OFF)
if(VANTRO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
add_compile_options(-Wall -Wextra)

# The host's resources: tools/hostrc reads the same resource script as windres.
set(VANTRO_HOST_RES ${CMAKE_BINARY_DIR}/gen/host_resources.cpp)
set(VANTRO_HOSTRC_ARGS "")
foreach(dir ${VANTRO_RC_INCLUDES})
  list(APPEND VANTRO_HOSTRC_ARGS -I ${dir})
endforeach()
add_custom_command(OUTPUT ${VANTRO_HOST_RES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/gen
  COMMAND $<TARGET_FILE:hostrc> ${VANTRO_HOSTRC_ARGS} ${CMAKE_SOURCE_DIR}/resources/vantro.rc ${VANTRO_HOST_RES}
  DEPENDS hostrc ${CMAKE_SOURCE_DIR}/resources/vantro.rc ${VANTRO_RC_DEPENDS}
  COMMENT "Generating the host's resource table")

file(GLOB VANTRO_HOST_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/host/*.cpp)
add_library(vantro_host STATIC ${VANTRO_HOST_PLATFORM_SOURCES} ${VANTRO_LOGIC_SOURCES} ${VANTRO_HOST_RES})
target_include_directories(vantro_host PUBLIC ${VANTRO_LOGIC_INCLUDES} ${CMAKE_SOURCE_DIR}/platform/host)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VANTRO_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

enable_testing()
file(GLOB VANTRO_HOST_TESTS CONFIGURE_DEPENDS tests/host/*.cpp tests/shared/*.cpp)
add_executable(vantro_tests ${VANTRO_HOST_TESTS})
target_include_directories(vantro_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(vantro_tests PRIVATE VANTRO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                           VANTRO_BINARY_DIR="${CMAKE_BINARY_DIR}")
target_link_libraries(vantro_tests PRIVATE vantro_host gtest gtest_main)
add_test(NAME host_tests COMMAND vantro_tests)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/fuzz/CMakeLists.txt)
  add_subdirectory(tests/fuzz)
endif()
