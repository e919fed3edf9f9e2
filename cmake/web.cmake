# The WebAssembly build, with emscripten's toolchain (the web preset).
#
# Builds the core library without the desktop backend and mains, against the
# WebAssembly static libraries made by scripts/crossdeps.sh web, plus the capture
# tool, paktool and the party kit's program (its base files in kit-base/
# beside it) as node programs that read and write the real file system.
# paktool packs pak.pak into the site folder; cmake/webapp.cmake (the browser
# program and its page) is included last when it exists.
#
# Variables for cmake/webapp.cmake:
#   velmora_core           the core library target (links the libraries below)
#   velmora_kit            the party kit's library (over FreeType and minizip)
#   VELMORA_WEB_DEPS       the prefix of the WebAssembly libraries
#   VELMORA_WEB_SITE_DIR   the folder served to browsers (pak.pak, qtn.mp3 go here)
#   VELMORA_BIN_DIR        where the node programs are built
#   VELMORA_BACKEND_SOURCES the web backend, for the page's program

set(VELMORA_WEB_DEPS ${CMAKE_SOURCE_DIR}/build/webdeps/prefix CACHE PATH
    "Prefix of the WebAssembly builds of zlib, libpng, libjpeg-turbo, libmpg123, FreeType and minizip")
set(VELMORA_WEB_SITE_DIR ${CMAKE_SOURCE_DIR}/build/web CACHE PATH
    "Folder of the web site: page, program and data")

include(${CMAKE_SOURCE_DIR}/cmake/cross.cmake)
velmora_cross_libraries(web_libraries ${VELMORA_WEB_DEPS} web libpng16.a libjpeg.a libmpg123.a libz.a)

# WebAssembly SIMD for the pixel kernels (and wherever the compiler finds
# whole-vector integer work); bulk memory, so that copies of whole frames are
# single memory.copy instructions rather than calls out to JavaScript;
# exceptions as the desktop build has them.
add_compile_options(-msimd128 -mbulk-memory -fexceptions)
add_link_options(-mbulk-memory -fexceptions -sALLOW_MEMORY_GROWTH=1)

# The variants named *_web in place of their twins (cmake/sources.cmake); the
# web backend, which calls the page, goes into the page's program only.
velmora_sources(web)
add_library(velmora_core STATIC ${VELMORA_CORE_SOURCES})
target_include_directories(velmora_core PUBLIC ${CMAKE_SOURCE_DIR})
target_include_directories(velmora_core SYSTEM PUBLIC ${VELMORA_WEB_DEPS}/include)
target_link_libraries(velmora_core PUBLIC ${web_libraries})

set(VELMORA_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${VELMORA_BIN_DIR})

# The party kit over FreeType and minizip (their headers found as on Linux,
# where pkg-config names their own folders).
include(${CMAKE_SOURCE_DIR}/cmake/kit.cmake)
velmora_cross_libraries(web_kit_libraries ${VELMORA_WEB_DEPS} web libfreetype.a libminizip.a libz.a)
velmora_kit_library(${web_kit_libraries})
target_include_directories(velmora_kit SYSTEM PUBLIC ${VELMORA_WEB_DEPS}/include/freetype2 ${VELMORA_WEB_DEPS}/include/minizip)

# Node programs: the real file system, the exit code as the process's own.
foreach(tool velmora2k_capture paktool velmora2k_kit)
  string(REPLACE "_" "-" exe ${tool})
  add_executable(${exe} ${CMAKE_SOURCE_DIR}/tools/${tool}.cpp)
  if(tool MATCHES "^velmora2k_kit")
    target_link_libraries(${exe} PRIVATE velmora_kit)
  else()
    target_link_libraries(${exe} PRIVATE velmora_core)
  endif()
  target_link_options(${exe} PRIVATE -sNODERAWFS=1 -sENVIRONMENT=node -sEXIT_RUNTIME=1)
endforeach()
velmora_kit_base(${VELMORA_BIN_DIR})

velmora_pack_data(${VELMORA_WEB_SITE_DIR})

# The node tools find their data beside their own script, as the desktop
# tools do beside themselves.
add_custom_command(OUTPUT ${VELMORA_BIN_DIR}/pak.pak ${VELMORA_BIN_DIR}/qtn.mp3
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VELMORA_WEB_SITE_DIR}/pak.pak ${VELMORA_BIN_DIR}/pak.pak
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/data/qtn.mp3 ${VELMORA_BIN_DIR}/qtn.mp3
  DEPENDS ${VELMORA_WEB_SITE_DIR}/pak.pak ${CMAKE_SOURCE_DIR}/data/qtn.mp3
  VERBATIM)
add_custom_target(velmora_tool_data ALL DEPENDS ${VELMORA_BIN_DIR}/pak.pak ${VELMORA_BIN_DIR}/qtn.mp3)

if(EXISTS ${CMAKE_SOURCE_DIR}/cmake/webapp.cmake)
  include(${CMAKE_SOURCE_DIR}/cmake/webapp.cmake)
endif()

if(EXISTS ${CMAKE_SOURCE_DIR}/cmake/studio.cmake)
  include(${CMAKE_SOURCE_DIR}/cmake/studio.cmake)
endif()
