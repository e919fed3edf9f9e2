# The party kit in every build (CMakeLists.txt for Linux, cmake/windows.cmake,
# cmake/web.cmake): its library and the base files its program reads.

# velmora_kit_library(LIBRARY...): the target velmora_kit, every kit/*.cpp
# over the core library and the given FreeType and minizip (and what they
# need after them, for static libraries).
function(velmora_kit_library)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/kit/*.cpp)
  add_library(velmora_kit STATIC ${sources})
  target_link_libraries(velmora_kit PUBLIC velmora_core ${ARGN})
endfunction()

set(VELMORA_KIT_FONT_DIR /usr/share/fonts/truetype/dejavu CACHE PATH
    "Folder of the DejaVu faces (Debian's fonts-dejavu-core) the kit letters with")

# velmora_kit_base(BIN_DIR): BIN_DIR/kit-base/, the folder the kit's program
# reads its base files from, beside itself:
#   fonts/   DejaVuSans.ttf and DejaVuSans-Bold.ttf
#   layers/  data/layers/, the pictures' layers (when the folder exists)
#   data/    every top-level file of data/ (hidden ones aside)
#   web/     index.html, the web page's template (a party's site is written
#            from it)
# Made whole again at build time (target velmora_kit_base) whenever one of
# these files changes, is added or goes, so no stale file stays in it.
function(velmora_kit_base bin_dir)
  set(base ${bin_dir}/kit-base)
  set(fonts ${VELMORA_KIT_FONT_DIR}/DejaVuSans.ttf ${VELMORA_KIT_FONT_DIR}/DejaVuSans-Bold.ttf)
  foreach(font ${fonts})
    if(NOT EXISTS ${font})
      message(FATAL_ERROR "${font} is missing: scripts/deps.sh build installs fonts-dejavu-core")
    endif()
  endforeach()
  file(GLOB data LIST_DIRECTORIES false CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)
  list(FILTER data EXCLUDE REGEX "/\\.[^/]*$")
  file(GLOB_RECURSE layers LIST_DIRECTORIES false CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/layers/*)
  set(copy_layers)
  if(layers)
    set(copy_layers COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/data/layers ${base}/layers)
  endif()
  set(stamp ${bin_dir}/kit-base.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${base}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${base}/fonts ${base}/data ${base}/web
    COMMAND ${CMAKE_COMMAND} -E copy ${fonts} ${base}/fonts/
    COMMAND ${CMAKE_COMMAND} -E copy ${data} ${base}/data/
    ${copy_layers}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/web/index.html ${base}/web/
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${fonts} ${data} ${layers} ${CMAKE_SOURCE_DIR}/web/index.html
    COMMENT "Copying the kit's base files into ${base}"
    VERBATIM)
  add_custom_target(velmora_kit_base ALL DEPENDS ${stamp})
endfunction()
