# Shared part of the MinGW-w64 toolchain files: compilers, sysroot and Wine as the emulator
# that runs the cross-built tests and tools.
set(CMAKE_C_COMPILER ${QRX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QRX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QRX_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QRX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Forwarded to try_compile projects, which do not see variables set after the toolchain file.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QRX_MINGW_TRIPLE)
# Wine runs in a prefix of the build's own, quietly; the first run creates it.
# The project's `wine` (scripts/wine-bin) picks the loader this machine can execute.
find_program(QRX_WINE wine HINTS ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-bin)
if(QRX_WINE)
  set(QRX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env WINEPREFIX=${QRX_WINEPREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
    ${QRX_WINE})
endif()
