# The browser program and its page (included by cmake/web.cmake).
#
# velmora.js + velmora.wasm: the invitation with the web backend, as a factory
# (createVelmora) that web/page.js calls after the start click. ASYNCIFY lets
# the program's own loops wait for animation frames and message boxes.
# The page's files from web/ are copied beside it and index.html is written
# from the built files (velmora2k-kit index, the party kit's node program, which
# writes a party's page the same way); pak.pak and qtn.mp3 are served
# as separate files and fetched by the page, so the folder can be copied to
# any static web host as it is.

add_executable(velmora-web ${CMAKE_SOURCE_DIR}/app/main_web.cpp ${VELMORA_BACKEND_SOURCES})
target_link_libraries(velmora-web PRIVATE velmora_core)
set_target_properties(velmora-web PROPERTIES
  OUTPUT_NAME velmora
  SUFFIX ".js"
  RUNTIME_OUTPUT_DIRECTORY ${VELMORA_WEB_SITE_DIR})
target_link_options(velmora-web PRIVATE
  -sASYNCIFY=1
  "-sASYNCIFY_IMPORTS=['web_page_refresh','web_page_message','web_file_wait']"
  -sMODULARIZE=1
  -sEXPORT_NAME=createVelmora
  -sENVIRONMENT=web
  -sFORCE_FILESYSTEM=1
  "-sEXPORTED_RUNTIME_METHODS=['FS']"
  -sINITIAL_MEMORY=64MB)

set(VELMORA_SITE_URL "" CACHE STRING
    "The site's public address (https://host/path/), for the absolute link-preview tags")

# What the page downloads, in the order it needs them: the program's script
# and module (made by velmora-web), the archive, then the music (made by
# velmora_data), which the program waits for while it runs. index.html lists
# them (with sizes and stamps) for the page and the tests.
set(web_program_downloads velmora.js velmora.wasm)
set(web_data_downloads pak.pak qtn.mp3)
set(web_downloads ${web_program_downloads} ${web_data_downloads})

# The page's modules and style as they are (every .js and .css in web/); the
# icons; the title picture (the preview image too) as a JPEG of
# data/logo.png, a fifth of the PNG's bytes; index.html is written last, by
# the kit's node program, from everything else.
file(GLOB web_page_files RELATIVE ${CMAKE_SOURCE_DIR}/web CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/web/*.js ${CMAKE_SOURCE_DIR}/web/*.css)
set(web_page_copies)
foreach(f ${web_page_files})
  list(APPEND web_page_copies ${CMAKE_SOURCE_DIR}/web/${f} ${f})
endforeach()
list(APPEND web_page_copies
  ${CMAKE_SOURCE_DIR}/dist/icons/velmora2k_32.png icon-32.png
  ${CMAKE_SOURCE_DIR}/dist/icons/velmora2k_256.png icon-256.png)
set(web_page_outputs)
set(web_page_inputs)
while(web_page_copies)
  list(POP_FRONT web_page_copies from to)
  add_custom_command(OUTPUT ${VELMORA_WEB_SITE_DIR}/${to}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${from} ${VELMORA_WEB_SITE_DIR}/${to}
    DEPENDS ${from}
    VERBATIM)
  list(APPEND web_page_outputs ${VELMORA_WEB_SITE_DIR}/${to})
  list(APPEND web_page_inputs ${from})
endwhile()

find_program(VELMORA_CONVERT convert REQUIRED)
add_custom_command(OUTPUT ${VELMORA_WEB_SITE_DIR}/title.jpg
  COMMAND ${VELMORA_CONVERT} ${CMAKE_SOURCE_DIR}/data/logo.png -strip -quality 85 ${VELMORA_WEB_SITE_DIR}/title.jpg
  DEPENDS ${CMAKE_SOURCE_DIR}/data/logo.png
  VERBATIM)
list(APPEND web_page_outputs ${VELMORA_WEB_SITE_DIR}/title.jpg)

list(TRANSFORM web_data_downloads PREPEND ${VELMORA_WEB_SITE_DIR}/ OUTPUT_VARIABLE web_data_paths)
file(GLOB web_text_pages ${CMAKE_SOURCE_DIR}/data/*.txt)
string(REPLACE ";" "," web_download_list "${web_downloads}")
add_custom_command(OUTPUT ${VELMORA_WEB_SITE_DIR}/index.html
  COMMAND node --no-experimental-fetch $<TARGET_FILE:velmora2k-kit> index ${VELMORA_WEB_SITE_DIR}
          ${CMAKE_SOURCE_DIR}/data --downloads ${web_download_list} --site "${VELMORA_SITE_URL}"
  DEPENDS velmora2k-kit velmora_kit_base ${CMAKE_SOURCE_DIR}/web/index.html
          ${CMAKE_SOURCE_DIR}/data/web/party.txt ${web_text_pages} ${web_page_outputs}
          velmora-web velmora_data ${web_data_paths}
  COMMENT "Writing the page index.html"
  VERBATIM)
add_custom_target(velmora_web_page ALL DEPENDS ${web_page_outputs} ${VELMORA_WEB_SITE_DIR}/index.html)
