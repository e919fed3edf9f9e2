# The browser program and its page (included by cmake/web.cmake).
#
# velmora.js + velmora.wasm: the invitation with the web backend, as a factory
# (createVelmora) that web/page.js calls after the start click. ASYNCIFY lets
# the program's own loops wait for animation frames and message boxes.
# The page's files from web/ are copied beside it; pak.pak and qtn.mp3 are
# served as separate files and fetched by the page, so the folder can be
# copied to any static web host as it is.

add_executable(velmora-web ${CMAKE_SOURCE_DIR}/app/main_web.cpp ${CMAKE_SOURCE_DIR}/platform/web.cpp)
target_link_libraries(velmora-web PRIVATE velmora_core)
set_target_properties(velmora-web PROPERTIES
  OUTPUT_NAME velmora
  SUFFIX ".js"
  RUNTIME_OUTPUT_DIRECTORY ${VELMORA_WEB_SITE_DIR})
target_link_options(velmora-web PRIVATE
  -sASYNCIFY=1
  -sMODULARIZE=1
  -sEXPORT_NAME=createVelmora
  -sENVIRONMENT=web
  -sFORCE_FILESYSTEM=1
  "-sEXPORTED_RUNTIME_METHODS=['FS']"
  -sINITIAL_MEMORY=64MB)

set(web_page_files index.html page.js page.css audio.js)
set(web_page_outputs)
foreach(f ${web_page_files})
  add_custom_command(OUTPUT ${VELMORA_WEB_SITE_DIR}/${f}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/web/${f} ${VELMORA_WEB_SITE_DIR}/${f}
    DEPENDS ${CMAKE_SOURCE_DIR}/web/${f}
    VERBATIM)
  list(APPEND web_page_outputs ${VELMORA_WEB_SITE_DIR}/${f})
endforeach()
add_custom_target(velmora_web_page ALL DEPENDS ${web_page_outputs})
add_dependencies(velmora-web velmora_web_page)
