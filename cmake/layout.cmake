# The screen layout: layout.json at the top of the source tree is the one
# place its numbers are written. This step reads it at configure time (again
# whenever it changes) and writes them as constants for C++ into
# generated/velmora_layout.h; the Python tools and the browser tests read
# layout.json itself.

set(VELMORA_LAYOUT_JSON ${CMAKE_SOURCE_DIR}/layout.json)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VELMORA_LAYOUT_JSON})
file(READ ${VELMORA_LAYOUT_JSON} velmora_layout_text)

# OUT = the whole number at PATH... in the layout; anything else stops the
# configuration with the member's place.
function(velmora_layout_int out)
  string(JSON type ERROR_VARIABLE error TYPE "${velmora_layout_text}" ${ARGN})
  string(REPLACE ";" "." where "${ARGN}")
  if(error)
    message(FATAL_ERROR "layout.json: ${where}: ${error}; add it as a whole number")
  endif()
  string(JSON value GET "${velmora_layout_text}" ${ARGN})
  if(NOT type STREQUAL "NUMBER" OR NOT value MATCHES "^-?[0-9]+$")
    message(FATAL_ERROR "layout.json: ${where} is \"${value}\"; write a whole number")
  endif()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# OUT = the text at PATH...; it must be a plain name (letters, digits, '_').
function(velmora_layout_name out)
  string(JSON value ERROR_VARIABLE error GET "${velmora_layout_text}" ${ARGN})
  string(REPLACE ";" "." where "${ARGN}")
  if(error)
    message(FATAL_ERROR "layout.json: ${where}: ${error}")
  endif()
  if(NOT value MATCHES "^[A-Za-z0-9_]+$")
    message(FATAL_ERROR "layout.json: ${where} is \"${value}\"; use letters, digits and '_' only")
  endif()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# OUT = the number of members of the array or object at PATH....
function(velmora_layout_length out)
  string(JSON count ERROR_VARIABLE error LENGTH "${velmora_layout_text}" ${ARGN})
  string(REPLACE ";" "." where "${ARGN}")
  if(error)
    message(FATAL_ERROR "layout.json: ${where}: ${error}")
  endif()
  if(count EQUAL 0)
    message(FATAL_ERROR "layout.json: ${where} is empty")
  endif()
  set(${out} ${count} PARENT_SCOPE)
endfunction()

# OUT = WORDS in CamelCase: "glyph_advance" -> "GlyphAdvance".
function(velmora_layout_camel out words)
  string(REPLACE "_" ";" parts "${words}")
  set(camel "")
  foreach(part ${parts})
    string(SUBSTRING "${part}" 0 1 first)
    string(SUBSTRING "${part}" 1 -1 rest)
    string(TOUPPER "${first}" first)
    string(APPEND camel "${first}${rest}")
  endforeach()
  set(${out} "${camel}" PARENT_SCOPE)
endfunction()

# OUT = "inline constexpr int PREFIXKey = value;" lines for the members
# KEY... of the object at PATH.
function(velmora_layout_ints out prefix path)
  set(text "")
  foreach(key ${ARGN})
    velmora_layout_int(value ${path} ${key})
    velmora_layout_camel(camel "${key}")
    string(APPEND text "inline constexpr int ${prefix}${camel} = ${value};\n")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(velmora_write_layout_header header)
  velmora_layout_ints(screen kScreen screen width height)
  velmora_layout_int(header_rows header_rows)
  velmora_layout_ints(window kWindow3d window3d x y width height)
  velmora_layout_ints(bar kBar loading_bar x y width height)
  velmora_layout_ints(caption kCaption caption_strip x0 y0 x1 y1 glyph_advance align_right)
  velmora_layout_ints(pointer kPointerStart pointer_start x y)
  velmora_layout_ints(opening kOpening opening logo_end_ms captions_start_ms captions_end_ms menu_end_ms)

  velmora_layout_length(button_count buttons)
  set(buttons "")
  math(EXPR last "${button_count} - 1")
  foreach(i RANGE ${last})
    velmora_layout_name(name buttons ${i} name)
    velmora_layout_name(label buttons ${i} label)
    set(numbers "")
    foreach(key x y width height)
      velmora_layout_int(value buttons ${i} ${key})
      string(APPEND numbers ", ${value}")
    endforeach()
    string(APPEND buttons "    {\"${name}\", \"${label}\"${numbers}},\n")
  endforeach()

  velmora_layout_length(page_count pages)
  set(pages "")
  math(EXPR last "${page_count} - 1")
  foreach(i RANGE ${last})
    velmora_layout_name(name pages ${i})
    list(APPEND pages "\"${name}\"")
  endforeach()
  list(JOIN pages ", " pages)

  set(boxes "")
  velmora_layout_length(picture_count letter_boxes)
  math(EXPR last_picture "${picture_count} - 1")
  foreach(p RANGE ${last_picture})
    string(JSON picture MEMBER "${velmora_layout_text}" letter_boxes ${p})
    velmora_layout_camel(picture_camel "${picture}")
    velmora_layout_length(box_count letter_boxes ${picture})
    math(EXPR last_box "${box_count} - 1")
    foreach(b RANGE ${last_box})
      string(JSON box MEMBER "${velmora_layout_text}" letter_boxes ${picture} ${b})
      velmora_layout_camel(box_camel "${box}")
      velmora_layout_length(corner_count letter_boxes ${picture} ${box})
      if(NOT corner_count EQUAL 4)
        message(FATAL_ERROR "layout.json: letter_boxes.${picture}.${box} has ${corner_count} numbers; write [x0, y0, x1, y1]")
      endif()
      set(corners "")
      foreach(c 0 1 2 3)
        velmora_layout_int(value letter_boxes ${picture} ${box} ${c})
        list(APPEND corners ${value})
      endforeach()
      list(JOIN corners ", " corners)
      string(APPEND boxes "inline constexpr Rect k${picture_camel}${box_camel}Box{${corners}};\n")
    endforeach()
  endforeach()

  file(CONFIGURE OUTPUT ${header} @ONLY CONTENT
"// layout: the invitation's screen layout as constants, generated from
// layout.json by cmake/layout.cmake at configure time. Do not edit: change
// layout.json, which the Python tools and the browser tests read too.
#pragma once

#include <array>

namespace layout {

struct Button {
  const char* name;   // its lit picture is on_NAME.png
  const char* label;
  int x, y, width, height;
};

struct Rect {
  int x0, y0, x1, y1;  // x1 and y1 exclusive
};

${screen}
// The top rows both panels share, which stay put during cross-fades.
inline constexpr int kHeaderRows = ${header_rows};

// The menu's buttons, in order; a lit button's picture is drawn at (x, y).
inline constexpr std::array<Button, ${button_count}> kButtons = {{
${buttons}}};

// The 3D window on the menu panel.
${window}
// The loading screen's progress bar.
${bar}
// The opening's caption strip: glyphs of glyph_advance pixels between x0 and
// x1, a line ending at align_right unless placed.
${caption}
// Where the pointer starts.
${pointer}
// The opening on the music clock (ms): the logo fades in until LogoEnd, the
// captions show from CaptionsStart to CaptionsEnd, the menu is whole at
// MenuEnd.
${opening}
// The pages, in the order of their buttons.
inline constexpr const char* kPageNames[] = {${pages}};

// Where each picture's party lettering may reach, glow included.
${boxes}
}  // namespace layout
")
endfunction()

velmora_write_layout_header(${CMAKE_BINARY_DIR}/generated/velmora_layout.h)
