# The Windows build (MinGW-w64 toolchain cmake/mingw.cmake, the windows
# preset).
#
# Builds the SDL backend with the platform variants named *_win in place of
# their desktop twins, against the static libraries made by
# scripts/crossdeps.sh windows, into programs that need nothing installed:
# every library is linked in (the C and C++ runtimes, winpthreads and the
# maths too), so they import only DLLs that every Windows has.
#   velmora2k.exe          the invitation, a GUI program (no console window)
#   velmora2k-capture.exe  the capture tool, a console program
#   paktool.exe            the archive tool, a console program
#   velmora2k-kit.exe      the party kit, a console program, with its base
#                          files in kit-base/ beside it
#   wine_tests.exe         the unit tests that must pass on Windows too (with
#                          VELMORA_WIN_TESTS): Linux's results, file calls
# Each carries a manifest (DPI aware, UTF-8 code page) and version
# information; velmora2k.exe also the icon.

set(VELMORA_WIN_DEPS ${CMAKE_SOURCE_DIR}/build/windeps/prefix CACHE PATH
    "Prefix of the Windows builds of SDL2, zlib, libpng, libjpeg-turbo, libmpg123, FreeType and minizip")
option(VELMORA_WIN_TESTS "Build the tests that run under wine" ON)

# libglibc-sincos.a: glibc's sin, cos and sincos, the Linux build's maths, in
# place of the runtime's.
include(${CMAKE_SOURCE_DIR}/cmake/cross.cmake)
velmora_cross_libraries(win_libraries ${VELMORA_WIN_DEPS} windows
                        libSDL2.a libpng16.a libjpeg.a libmpg123.a libz.a libglibc-sincos.a)
# What SDL2 and libmpg123 need from Windows itself (their Libs.private).
set(win_system_libraries
  shlwapi user32 gdi32 winmm imm32 ole32 oleaut32 version uuid advapi32 setupapi shell32 dinput8)

# The variants named *_win in place of their twins, and the SDL backend
# (cmake/sources.cmake).
velmora_sources(windows)

# GCC on 64-bit Windows does not keep the stack 32-byte aligned for spilled
# AVX registers (GCC bug 54412): the AVX2 kernels use unaligned moves only.
set_source_files_properties(${CMAKE_SOURCE_DIR}/gfx2d/pixel_avx2.cpp PROPERTIES
  COMPILE_OPTIONS "-Wa,-muse-unaligned-vector-move")

add_library(velmora_core STATIC ${VELMORA_CORE_SOURCES} ${VELMORA_BACKEND_SOURCES})
target_include_directories(velmora_core PUBLIC ${CMAKE_SOURCE_DIR})
target_include_directories(velmora_core SYSTEM PUBLIC ${VELMORA_WIN_DEPS}/include ${VELMORA_WIN_DEPS}/include/SDL2)
target_link_libraries(velmora_core PUBLIC ${win_libraries} ${win_system_libraries})

set(VELMORA_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${VELMORA_BIN_DIR})

# binmode.o makes bytes (not text) the mode of every file opened without a
# mode letter for it, such as the log; host_win.cpp sets the standard streams.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=binmode.o
  OUTPUT_VARIABLE VELMORA_BINMODE_OBJECT OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT EXISTS "${VELMORA_BINMODE_OBJECT}")
  message(FATAL_ERROR "the MinGW runtime's binmode.o is missing")
endif()

# velmora_resources(TARGET DESCRIPTION [ICON]): the manifest and version
# information of a program (and its icon).
function(velmora_resources target description)
  set(VELMORA_RC_NAME ${target})
  set(VELMORA_RC_DESCRIPTION ${description})
  set(VELMORA_RC_VERSION4 ${PROJECT_VERSION}.0)
  string(REPLACE "." "," VELMORA_RC_VERSION_COMMAS ${VELMORA_RC_VERSION4})
  set(VELMORA_RC_MANIFEST ${CMAKE_BINARY_DIR}/resources/${target}.manifest)
  set(VELMORA_RC_ICON "")
  set(rc ${CMAKE_BINARY_DIR}/resources/${target}.rc)
  # windres reads the manifest and the icon, but the build does not see them
  # as inputs of the resource script: a changed one builds it again.
  set(rc_inputs ${VELMORA_RC_MANIFEST})
  if(ARGC GREATER 2)
    set(VELMORA_RC_ICON "1 ICON \"${ARGV2}\"")
    list(APPEND rc_inputs ${ARGV2})
  endif()
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${rc_inputs}")
  configure_file(${CMAKE_SOURCE_DIR}/dist/windows/program.manifest ${VELMORA_RC_MANIFEST} @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/dist/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# velmora_program(TARGET DESCRIPTION SOURCE... [ICON FILE]): one program with
# its resources, statically linked.
function(velmora_program target description)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "ICON" "")
  add_executable(${target} ${arg_UNPARSED_ARGUMENTS})
  velmora_resources(${target} ${description} ${arg_ICON})
  target_link_libraries(${target} PRIVATE velmora_core ${VELMORA_BINMODE_OBJECT})
  target_link_options(${target} PRIVATE -static)
endfunction()

velmora_program(velmora2k "Velmora2K invitation" app/main.cpp ICON ${CMAKE_SOURCE_DIR}/dist/icons/velmora2k.ico)
set_target_properties(velmora2k PROPERTIES WIN32_EXECUTABLE ON)
velmora_program(velmora2k-capture "Velmora2K invitation, frame capture" tools/velmora2k_capture.cpp)
velmora_program(paktool "Velmora2K archive tool" tools/paktool.cpp)

# The party kit over FreeType and minizip (their headers found as on Linux,
# where pkg-config names their own folders).
include(${CMAKE_SOURCE_DIR}/cmake/kit.cmake)
velmora_cross_libraries(win_kit_libraries ${VELMORA_WIN_DEPS} windows libfreetype.a libminizip.a libz.a)
velmora_kit_library(${win_kit_libraries})
target_include_directories(velmora_kit SYSTEM PUBLIC ${VELMORA_WIN_DEPS}/include/freetype2 ${VELMORA_WIN_DEPS}/include/minizip)
velmora_program(velmora2k-kit "Velmora2K party kit" tools/velmora2k_kit.cpp)
target_link_libraries(velmora2k-kit PRIVATE velmora_kit)
velmora_kit_base(${VELMORA_BIN_DIR})

# The checks that need the Windows build itself, run under wine by the
# script tests: GoogleTest from its sources (Debian's libgtest-dev).
if(VELMORA_WIN_TESTS)
  set(gtest_source /usr/src/googletest)
  if(NOT EXISTS ${gtest_source}/CMakeLists.txt)
    message(FATAL_ERROR "${gtest_source} is missing: scripts/deps.sh windows installs libgtest-dev")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${gtest_source} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  velmora_program(wine_tests "Velmora2K unit tests for Windows"
    ${CMAKE_SOURCE_DIR}/tests/test_same_results.cpp ${CMAKE_SOURCE_DIR}/tests/test_hostfs.cpp)
  target_link_libraries(wine_tests PRIVATE gtest gtest_main)
  target_compile_definitions(wine_tests PRIVATE VELMORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()
