# Packs the data files into pak.pak with our own archive tool at build time and
# places pak.pak and the music beside the executables. The music is opened by
# its plain name, never through the archive, so it is copied, not packed.

function(velmora_pack_data out_dir)
  file(GLOB data_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)
  set(packed)
  set(music)
  foreach(f ${data_files})
    get_filename_component(name ${f} NAME)
    if(name STREQUAL "qtn.mp3")
      set(music ${f})
    elseif(NOT IS_DIRECTORY ${f} AND NOT name MATCHES "^\\.")
      list(APPEND packed ${f})
    endif()
  endforeach()
  list(SORT packed)
  set(outputs)
  if(TARGET paktool AND packed)
    add_custom_command(OUTPUT ${out_dir}/pak.pak
      COMMAND paktool pack ${out_dir}/pak.pak ${packed}
      DEPENDS paktool ${packed}
      COMMENT "Packing pak.pak"
      VERBATIM)
    list(APPEND outputs ${out_dir}/pak.pak)
  endif()
  if(music)
    add_custom_command(OUTPUT ${out_dir}/qtn.mp3
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${music} ${out_dir}/qtn.mp3
      DEPENDS ${music}
      VERBATIM)
    list(APPEND outputs ${out_dir}/qtn.mp3)
  endif()
  if(outputs)
    add_custom_target(velmora_data ALL DEPENDS ${outputs})
  endif()
endfunction()
