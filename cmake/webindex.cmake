# Writes the site's index.html from the template web/index.html (run with
# cmake -P by cmake/webapp.cmake after the program and the data are built).
#
# Fills in, from the data at build time:
#   the party's facts (data/web/party.txt: name, edition, dates, place, summary)
#     as the start screen's text, the description and the preview tags;
#   the four text pages (data/info.txt, compo.txt, contact.txt, credits.txt)
#     as real text, without the program's closing "END" line and with each
#     "%%" read as the "%" the program shows;
#   every file the page fetches with its size and a version stamp (the first
#     16 hex digits of its SHA-256): the page asks for NAME?v=STAMP, so a
#     browser cache never pairs an old file with a new one, and checks the
#     length it received against the size;
#   the absolute preview address when SITE_URL is given (og:image and og:url
#     need one; without it those two tags are left out).
#
# Variables: SOURCE_DIR, SITE_DIR, SITE_URL (may be empty), DOWNLOADS (the
# files the page fetches, in its order), PAGE_FILES (the page's modules and
# style, as web/ holds them); DATA_DIR, the folder with web/party.txt and the
# pages (default SOURCE_DIR/data: another party's data when a release is
# repacked for it).

function(html_escape out text)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "\"" "&quot;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(file_stamp out file)
  file(SHA256 ${file} sum)
  string(SUBSTRING ${sum} 0 16 sum)
  set(${out} ${sum} PARENT_SCOPE)
endfunction()

if(NOT DATA_DIR)
  set(DATA_DIR ${SOURCE_DIR}/data)
endif()

# The party's facts.
set(party_file ${DATA_DIR}/web/party.txt)
file(STRINGS ${party_file} party_lines ENCODING UTF-8)
foreach(key name edition dates place summary)
  set(party_${key} "")
endforeach()
foreach(line IN LISTS party_lines)
  if(line MATCHES "^#" OR line STREQUAL "")
    continue()
  endif()
  if(NOT line MATCHES "^([a-z]+): *(.*)$")
    message(FATAL_ERROR "${party_file}: not a \"key: value\" line: ${line}")
  endif()
  html_escape(value "${CMAKE_MATCH_2}")
  set(party_${CMAKE_MATCH_1} "${value}")
endforeach()
foreach(key name dates place)
  if(party_${key} STREQUAL "")
    message(FATAL_ERROR "${party_file}: no \"${key}:\" line")
  endif()
endforeach()

# The text pages.
set(TEXT_PAGES "")
foreach(page info compo contact credits)
  file(READ ${DATA_DIR}/${page}.txt text)
  string(REPLACE "\r" "" text "${text}")
  string(REGEX REPLACE "\nEND\n?$" "\n" text "${text}")
  # The program prints each line as a printf format: "%%" is one "%".
  string(REPLACE "%%" "%" text "${text}")
  string(REGEX REPLACE "^\n+" "" text "${text}")
  html_escape(text "${text}")
  string(APPEND TEXT_PAGES "<section id=\"text-${page}\" aria-label=\"${page}\"><pre>${text}</pre></section>\n")
endforeach()

# Sizes and stamps of what the page fetches.
foreach(list DOWNLOADS PAGE_FILES)
  if("${${list}}" STREQUAL "")
    message(FATAL_ERROR "webindex.cmake: ${list} is empty")
  endif()
endforeach()
set(SITE_FILES "")
foreach(name IN LISTS DOWNLOADS)
  file(SIZE ${SITE_DIR}/${name} size)
  file_stamp(stamp ${SITE_DIR}/${name})
  string(APPEND SITE_FILES "\"${name}\": {\"size\": ${size}, \"stamp\": \"${stamp}\"}, ")
endforeach()
string(REGEX REPLACE ", $" "" SITE_FILES "${SITE_FILES}")

# The page's own modules and style, stamped through an import map.
set(IMPORT_MAP "")
foreach(name IN LISTS PAGE_FILES)
  file_stamp(stamp ${SITE_DIR}/${name})
  set(STAMP_${name} ${stamp})
  if(name MATCHES "\\.js$")
    string(APPEND IMPORT_MAP "\"./${name}\": \"./${name}?v=${stamp}\", ")
  endif()
endforeach()
string(REGEX REPLACE ", $" "" IMPORT_MAP "${IMPORT_MAP}")
set(STAMP_PAGE_CSS ${STAMP_page.css})
set(STAMP_PAGE_JS ${STAMP_page.js})
file_stamp(STAMP_TITLE ${SITE_DIR}/title.jpg)

set(PREVIEW_TAGS "")
if(NOT SITE_URL STREQUAL "")
  set(url "${SITE_URL}")
  if(NOT url MATCHES "/$")
    string(APPEND url "/")
  endif()
  html_escape(url "${url}")
  set(PREVIEW_TAGS "<meta property=\"og:url\" content=\"${url}\">\n<meta property=\"og:image\" content=\"${url}title.jpg?v=${STAMP_TITLE}\">\n<meta property=\"og:image:width\" content=\"640\">\n<meta property=\"og:image:height\" content=\"480\">")
endif()

configure_file(${SOURCE_DIR}/web/index.html ${SITE_DIR}/index.html @ONLY)
