# Which product sources each build compiles: decided here, and only here.
#
# velmora_sources(SYSTEM), SYSTEM being linux, web or windows, sets in the
# caller's scope:
#   VELMORA_CORE_SOURCES     the sources of the core library that every
#                            program of that build links
#   VELMORA_BACKEND_SOURCES  that build's backend
# from every .cpp of app/, platform/, gfx2d/, render3d/ and resources/, by
# three rules and nothing else:
#  - app/main*.cpp are the programs' mains: each build names its own;
#  - the backends are the files listed below, each in the builds named with it;
#  - suffixes: platform/NAME_web.cpp is the web build's NAME.cpp and
#    platform/NAME_win.cpp the Windows build's. In its build a variant
#    replaces NAME.cpp (or stands alone where there is none); the other
#    builds leave it out. Every variant defines every function that
#    platform/NAME.h declares (the test Layers.EveryPlatformVariantDefinesWhatItsHeaderDeclares).

set(VELMORA_SYSTEMS linux web windows)
set(VELMORA_VARIANT_SUFFIX_web _web)
set(VELMORA_VARIANT_SUFFIX_windows _win)
set(VELMORA_BACKEND_linux platform/sdl.cpp)
set(VELMORA_BACKEND_windows platform/sdl.cpp)
set(VELMORA_BACKEND_web platform/web.cpp)

function(velmora_sources system)
  if(NOT system IN_LIST VELMORA_SYSTEMS)
    message(FATAL_ERROR "velmora_sources: no build named ${system} (one of ${VELMORA_SYSTEMS})")
  endif()
  set(suffixes)
  foreach(s ${VELMORA_SYSTEMS})
    if(DEFINED VELMORA_VARIANT_SUFFIX_${s})
      list(APPEND suffixes ${VELMORA_VARIANT_SUFFIX_${s}})
    endif()
  endforeach()
  set(own_suffix ${VELMORA_VARIANT_SUFFIX_${system}})
  set(backends ${VELMORA_BACKEND_linux} ${VELMORA_BACKEND_web} ${VELMORA_BACKEND_windows})

  file(GLOB all RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/app/*.cpp
    ${CMAKE_SOURCE_DIR}/platform/*.cpp
    ${CMAKE_SOURCE_DIR}/gfx2d/*.cpp
    ${CMAKE_SOURCE_DIR}/render3d/*.cpp
    ${CMAKE_SOURCE_DIR}/resources/*.cpp)
  set(core)
  foreach(src ${all})
    if(src MATCHES "^app/main[^/]*\\.cpp$" OR src IN_LIST backends)
      continue()
    endif()
    # A variant: in its own build only.
    set(variant_of "")
    foreach(suffix ${suffixes})
      if(src MATCHES "^platform/([^/]+)${suffix}\\.cpp$")
        set(variant_of ${CMAKE_MATCH_1})
        set(variant_suffix ${suffix})
      endif()
    endforeach()
    if(variant_of)
      if(variant_suffix STREQUAL own_suffix)
        list(APPEND core ${CMAKE_SOURCE_DIR}/${src})
      endif()
      continue()
    endif()
    # A file whose variant this build takes instead.
    if(own_suffix AND src MATCHES "^platform/([^/]+)\\.cpp$")
      if(EXISTS ${CMAKE_SOURCE_DIR}/platform/${CMAKE_MATCH_1}${own_suffix}.cpp)
        continue()
      endif()
    endif()
    list(APPEND core ${CMAKE_SOURCE_DIR}/${src})
  endforeach()

  set(backend)
  foreach(src ${VELMORA_BACKEND_${system}})
    list(APPEND backend ${CMAKE_SOURCE_DIR}/${src})
  endforeach()
  set(VELMORA_CORE_SOURCES ${core} PARENT_SCOPE)
  set(VELMORA_BACKEND_SOURCES ${backend} PARENT_SCOPE)
endfunction()
