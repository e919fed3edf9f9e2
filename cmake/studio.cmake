# The studio (included by cmake/web.cmake): the page where an organiser makes
# their invitation in the browser, built into its own folder beside the site
# (web.sh serves it at /studio/; release.sh zips it as a release file of its
# own). It is a static folder: the page's files from web/studio/, the kit
# and the other WebAssembly programs it runs in workers, and the files they
# read.

set(VELMORA_STUDIO_DIR ${CMAKE_SOURCE_DIR}/build/studio CACHE PATH
    "Folder of the studio page and everything it loads")

# The preview: the invitation's own browser program (velmora-web), its sound
# player and the screen layout, under preview/; the page's small icon.
set(studio_preview_copies
  ${VELMORA_WEB_SITE_DIR}/velmora.js preview/velmora.js
  ${VELMORA_WEB_SITE_DIR}/velmora.wasm preview/velmora.wasm
  ${CMAKE_SOURCE_DIR}/web/player.js preview/player.js
  ${CMAKE_SOURCE_DIR}/web/audio.js preview/audio.js
  ${CMAKE_SOURCE_DIR}/layout.json preview/layout.json
  ${CMAKE_SOURCE_DIR}/dist/icons/velmora2k_32.png icon-32.png)
set(studio_preview_outputs)
while(studio_preview_copies)
  list(POP_FRONT studio_preview_copies from to)
  # The program's .wasm is a by-product of its link, no file of its own to
  # cmake: the program's files follow the target (which relinks both).
  if(from MATCHES "^${VELMORA_WEB_SITE_DIR}/velmora\\.")
    set(input velmora-web)
  else()
    set(input ${from})
  endif()
  add_custom_command(OUTPUT ${VELMORA_STUDIO_DIR}/${to}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${from} ${VELMORA_STUDIO_DIR}/${to}
    DEPENDS ${input}
    VERBATIM)
  list(APPEND studio_preview_outputs ${VELMORA_STUDIO_DIR}/${to})
endwhile()
add_custom_target(velmora_studio_preview ALL DEPENDS ${studio_preview_outputs})

# ---- Music and the preview sheet, for the studio's workers.
# mp3/velmora2k-mp3.js + .wasm: the MP3 encoder over libmp3lame
# (tools/velmora2k_studio_mp3.cpp), which web/studio/mp3worker.js drives.
# capture/velmora2k-capture.js + .wasm: the capture tool a second time, on
# emscripten's in-memory file system instead of node's, which
# web/studio/sheetworker.js runs (callMain, once per module) on the party's
# pak.pak and music to make the preview sheet's frames. Both also run under
# node, for tests/studio_music.test.sh.
velmora_cross_libraries(studio_mp3_libraries ${VELMORA_WEB_DEPS} web libmp3lame.a)
add_executable(velmora2k-mp3 ${CMAKE_SOURCE_DIR}/tools/velmora2k_studio_mp3.cpp)
target_include_directories(velmora2k-mp3 PRIVATE ${CMAKE_SOURCE_DIR})
target_include_directories(velmora2k-mp3 SYSTEM PRIVATE ${VELMORA_WEB_DEPS}/include)
target_link_libraries(velmora2k-mp3 PRIVATE ${studio_mp3_libraries})
set_target_properties(velmora2k-mp3 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORA_STUDIO_DIR}/mp3)
target_link_options(velmora2k-mp3 PRIVATE
  -sMODULARIZE=1
  -sEXPORT_NAME=createVelmoraMp3
  -sENVIRONMENT=worker,node)

add_executable(velmora2k-capture-worker ${CMAKE_SOURCE_DIR}/tools/velmora2k_capture.cpp)
target_link_libraries(velmora2k-capture-worker PRIVATE velmora_core)
set_target_properties(velmora2k-capture-worker PROPERTIES
  OUTPUT_NAME velmora2k-capture
  RUNTIME_OUTPUT_DIRECTORY ${VELMORA_STUDIO_DIR}/capture)
target_link_options(velmora2k-capture-worker PRIVATE
  -sMODULARIZE=1
  -sEXPORT_NAME=createVelmoraCapture
  -sENVIRONMENT=worker,node
  -sINVOKE_RUN=0
  -sEXIT_RUNTIME=0
  -sFORCE_FILESYSTEM=1
  "-sEXPORTED_RUNTIME_METHODS=['FS','callMain']")

# The page's own files: every file of web/studio/, as it is, at the same
# path (the kit's module and files go into kit/ beside them).
file(GLOB_RECURSE studio_page_files RELATIVE ${CMAKE_SOURCE_DIR}/web/studio CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/web/studio/*)
set(studio_page_outputs)
foreach(f ${studio_page_files})
  add_custom_command(OUTPUT ${VELMORA_STUDIO_DIR}/${f}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/web/studio/${f} ${VELMORA_STUDIO_DIR}/${f}
    DEPENDS ${CMAKE_SOURCE_DIR}/web/studio/${f}
    VERBATIM)
  list(APPEND studio_page_outputs ${VELMORA_STUDIO_DIR}/${f})
endforeach()
add_custom_target(velmora_studio_page ALL DEPENDS ${studio_page_outputs})

# The party kit for the page: kit/velmora2k-studio.js + .wasm, a factory
# (createVelmoraKit) that web/studio/kitworker.js loads in a worker.
set(VELMORA_STUDIO_KIT_DIR ${VELMORA_STUDIO_DIR}/kit)
add_executable(velmora2k-studio ${CMAKE_SOURCE_DIR}/tools/velmora2k_studio_kit.cpp)
target_link_libraries(velmora2k-studio PRIVATE velmora_kit)
set_target_properties(velmora2k-studio PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORA_STUDIO_KIT_DIR})
target_link_options(velmora2k-studio PRIVATE
  -sMODULARIZE=1
  -sEXPORT_NAME=createVelmoraKit
  -sENVIRONMENT=worker
  "-sEXPORTED_FUNCTIONS=['_malloc','_free']"
  "-sEXPORTED_RUNTIME_METHODS=['HEAPU8','UTF8ToString','stringToUTF8','lengthBytesUTF8']")

# The files the page's kit reads, made by the kit's node program:
#   kit/base.zip   the kit's base files (kit-base/ beside the command line)
#   example.zip    examples/skargard, no top folder: the example party
set(studio_kit_program node --no-experimental-fetch $<TARGET_FILE:velmora2k-kit>)
add_custom_command(OUTPUT ${VELMORA_STUDIO_KIT_DIR}/base.zip
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_STUDIO_KIT_DIR}
  COMMAND ${studio_kit_program} zip ${VELMORA_BIN_DIR}/kit-base ${VELMORA_STUDIO_KIT_DIR}/base.zip
  DEPENDS velmora2k-kit velmora_kit_base ${VELMORA_BIN_DIR}/kit-base.stamp
  COMMENT "Packing the kit's base files into the studio's base.zip"
  VERBATIM)
set(studio_example ${CMAKE_SOURCE_DIR}/examples/skargard)
file(GLOB_RECURSE studio_example_files CONFIGURE_DEPENDS ${studio_example}/*)
add_custom_command(OUTPUT ${VELMORA_STUDIO_DIR}/example.zip
  COMMAND ${studio_kit_program} zip ${studio_example} ${VELMORA_STUDIO_DIR}/example.zip
  DEPENDS velmora2k-kit ${studio_example_files}
  COMMENT "Packing the example party into the studio's example.zip"
  VERBATIM)
add_custom_target(velmora_studio_kit ALL
  DEPENDS velmora2k-studio ${VELMORA_STUDIO_KIT_DIR}/base.zip ${VELMORA_STUDIO_DIR}/example.zip)
