# What a run needs, how the program is installed, and its Debian package.
#
# The installed layout keeps the data one step from the programs:
#   bin/velmora2k, bin/velmora2k-capture, bin/paktool
#   share/velmora2k/pak.pak, share/velmora2k/qtn.mp3
#   share/applications/velmora2k.desktop
#   share/icons/hicolor/NxN/apps/velmora2k.png
#   share/metainfo/org.velmora2000.velmora2k.metainfo.xml
#   share/man/man1/velmora2k.1.gz, velmora2k-capture.1.gz, paktool.1.gz
#   share/doc/velmora2k/copyright, share/doc/velmora2k/changelog.gz
# The programs look for their data beside themselves first, then in
# ../share/velmora2k (platform/process.cpp), so both the build tree and an
# installed tree run as they are.

# ./run.sh builds only this: the program and the data it opens.
add_custom_target(invitation)
add_dependencies(invitation velmora2k velmora_data)

set(VELMORA_ICON_SIZES 16 32 48 64 128 256)

# Manual pages and the changelog, compressed as Debian wants them: gzip -9
# without a name or time stamp, so the same sources give the same bytes.
# The tools' pages are made by help2man from their own --help and --version
# (through cmake/manpage.sh) with the sections in dist/man/TOOL.h2m, so a
# page cannot tell other options than the program takes; the invitation takes
# no options, and its page is written out in dist/man/velmora2k.1.in.
set(VELMORA_DOC_DIR ${CMAKE_BINARY_DIR}/doc)
set(velmora_man_pages ${VELMORA_DOC_DIR}/velmora2k.1.gz)
configure_file(${CMAKE_SOURCE_DIR}/dist/man/velmora2k.1.in ${VELMORA_DOC_DIR}/velmora2k.1 @ONLY)
add_custom_command(OUTPUT ${VELMORA_DOC_DIR}/velmora2k.1.gz
  COMMAND gzip -9nfk ${VELMORA_DOC_DIR}/velmora2k.1
  DEPENDS ${VELMORA_DOC_DIR}/velmora2k.1
  VERBATIM)
add_custom_command(OUTPUT ${VELMORA_DOC_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/dist/changelog ${VELMORA_DOC_DIR}/changelog
  COMMAND gzip -9nf ${VELMORA_DOC_DIR}/changelog
  DEPENDS ${CMAKE_SOURCE_DIR}/dist/changelog
  VERBATIM)

find_program(VELMORA_HELP2MAN help2man)
if(VELMORA_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
  set(velmora_tool_summaries
    "velmora2k-capture=capture the Velmora2K invitation's frames and video without a window"
    "paktool=build and inspect the Velmora2K invitation's data archive")
  foreach(entry ${velmora_tool_summaries})
    string(REGEX MATCH "^[^=]+" tool ${entry})
    string(REGEX REPLACE "^[^=]+=" "" summary ${entry})
    set(page ${VELMORA_DOC_DIR}/${tool}.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/manpage.sh ${VELMORA_HELP2MAN} $<TARGET_FILE:${tool}>
              ${summary} ${CMAKE_SOURCE_DIR}/dist/man/${tool}.h2m ${page}
      COMMAND gzip -9nfk ${page}
      DEPENDS ${tool} ${CMAKE_SOURCE_DIR}/cmake/manpage.sh ${CMAKE_SOURCE_DIR}/dist/man/${tool}.h2m
      BYPRODUCTS ${page}
      COMMENT "Manual page of ${tool}"
      VERBATIM)
    list(APPEND velmora_man_pages ${page}.gz)
  endforeach()
else()
  message(STATUS "help2man not found: the tools' manual pages are left out (scripts/deps.sh test installs it)")
endif()
add_custom_target(velmora_docs ALL DEPENDS ${velmora_man_pages} ${VELMORA_DOC_DIR}/changelog.gz)

# Everything the install and the package hold; ./test.sh builds this much of
# the release tree for the package test.
add_custom_target(installable)
add_dependencies(installable velmora2k velmora2k-capture paktool velmora_data velmora_docs)

install(TARGETS velmora2k velmora2k-capture paktool RUNTIME DESTINATION bin)
install(FILES ${VELMORA_BIN_DIR}/pak.pak ${VELMORA_BIN_DIR}/qtn.mp3 DESTINATION share/velmora2k)
install(FILES ${CMAKE_SOURCE_DIR}/dist/velmora2k.desktop DESTINATION share/applications)
foreach(size ${VELMORA_ICON_SIZES})
  install(FILES ${CMAKE_SOURCE_DIR}/dist/icons/velmora2k_${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps
    RENAME velmora2k.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/dist/org.velmora2000.velmora2k.metainfo.xml DESTINATION share/metainfo)
install(FILES ${velmora_man_pages} DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/dist/copyright ${VELMORA_DOC_DIR}/changelog.gz DESTINATION share/doc/velmora2k)

# cpack -G DEB: velmora2k_<version>_<arch>.deb, installed under /usr, with the
# library dependencies that dpkg-shlibdeps reads from the programs, and the
# programs stripped. The section is video: the package shows an audiovisual
# piece and records it as video; games would ask for the programs in
# /usr/games, and the invitation is not played.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora2k)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velmora 2000 organisers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual invitation to a demo party")
set(CPACK_PACKAGE_DESCRIPTION
  "The invitation to Velmora 2000, Quorvantia Edition: a logo, captions and a\nmenu of pages, clocked by its own soundtrack, with a chrome metaball blob\ndrawn by a software rasteriser. Also holds velmora2k-capture (frames and\nvideo without a window) and paktool (the data archive tool).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velmora 2000 organisers <invitation@velmora2000.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SDL draws its message boxes (the reason of a fatal error) with X core
# fonts; without a fitting one the box does not appear at all.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xfonts-base)
include(CPack)
