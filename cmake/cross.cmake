# What the cross builds (WebAssembly, Windows) share.

# The static libraries a cross build links, as full paths in the prefix that
# scripts/crossdeps.sh TARGET fills; a missing one stops the configure with
# the command that makes it.
function(velmora_cross_libraries out prefix target)
  set(paths)
  foreach(lib ${ARGN})
    if(NOT EXISTS ${prefix}/lib/${lib})
      message(FATAL_ERROR "${prefix}/lib/${lib} is missing: run scripts/crossdeps.sh ${target} first")
    endif()
    list(APPEND paths ${prefix}/lib/${lib})
  endforeach()
  set(${out} ${paths} PARENT_SCOPE)
endfunction()
