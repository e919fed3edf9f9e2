# What a run needs, how the program is installed, and its Debian package.
#
# The installed layout keeps the data one step from the programs:
#   bin/velmora2k, bin/velmora2k-capture, bin/paktool
#   share/velmora2k/pak.pak, share/velmora2k/qtn.mp3
#   share/applications/velmora2k.desktop
#   share/icons/hicolor/NxN/apps/velmora2k.png
# The programs look for their data beside themselves first, then in
# ../share/velmora2k (platform/process.cpp), so both the build tree and an
# installed tree run as they are.

set(VELMORA_VERSION 1.0.0)

# ./run.sh builds only this: the program and the data it opens.
add_custom_target(invitation)
add_dependencies(invitation velmora2k velmora_data)

set(VELMORA_ICON_SIZES 16 32 48 64 128 256)

install(TARGETS velmora2k velmora2k-capture paktool RUNTIME DESTINATION bin)
install(FILES ${VELMORA_BIN_DIR}/pak.pak ${VELMORA_BIN_DIR}/qtn.mp3 DESTINATION share/velmora2k)
install(FILES ${CMAKE_SOURCE_DIR}/dist/velmora2k.desktop DESTINATION share/applications)
foreach(size ${VELMORA_ICON_SIZES})
  install(FILES ${CMAKE_SOURCE_DIR}/dist/icons/velmora2k_${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps
    RENAME velmora2k.png)
endforeach()

# cpack -G DEB: velmora2k_<version>_<arch>.deb, installed under /usr, with the
# library dependencies that dpkg-shlibdeps reads from the programs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora2k)
set(CPACK_PACKAGE_VERSION ${VELMORA_VERSION})
set(CPACK_PACKAGE_VENDOR "Velmora 2000 organisers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Velmora2K invitation: a real-time audiovisual invitation")
set(CPACK_PACKAGE_DESCRIPTION
  "The invitation to Velmora 2000, Quorvantia Edition: a logo, captions and a\nmenu of pages, clocked by its own soundtrack, with a chrome metaball blob\ndrawn by a software rasteriser. Also holds velmora2k-capture (frames and\nvideo without a window) and paktool (the data archive tool).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velmora 2000 organisers <invitation@velmora2000.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
