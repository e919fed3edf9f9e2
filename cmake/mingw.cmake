# CMake toolchain for 64-bit Windows programs built on Debian with the
# MinGW-w64 cross compiler (the posix thread model, whose C++ runtime has
# std::thread). Used by the windows preset and by scripts/crossdeps.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELMORA_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELMORA_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMORA_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMORA_MINGW_HOST}-windres)
set(CMAKE_AR ${VELMORA_MINGW_HOST}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${VELMORA_MINGW_HOST}-gcc-ranlib-posix CACHE FILEPATH "")

# Headers and libraries only from the cross environment; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VELMORA_MINGW_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
