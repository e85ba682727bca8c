# Windows-specific parts of the build: static runtime, PCRE2 for the serial-number matcher, the
# tools' libraries (cmake/WindowsLibraries.cmake) and GoogleTest built from Debian's sources for
# the target.

# The C++ runtime, libgcc and winpthread linked into each binary.
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# PCRE2 for the target, the same engine as on Linux so that a serial-number pattern means the
# same on every build: an installed MinGW build found through pkg-config, or the PCRE2 source
# tree named by QRX_PCRE2_SOURCE_DIR (Debian's pcre2 source package, unpacked by
# `scripts/debian-sources.sh build-sources pcre2`) built here as a static library. It is
# configured as Debian configures its own (Unicode, newline LF, \R any Unicode newline); the
# match and depth limits are set by the matcher itself, so they are the same everywhere.
set(QRX_PCRE2_SOURCE_DIR "" CACHE PATH "PCRE2 source tree to build for the Windows target")
# pkg-config is asked only about the target's own tree, never the build machine's.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND AND EXISTS /usr/${QRX_MINGW_TRIPLE}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_LIBDIR} /usr/${QRX_MINGW_TRIPLE}/lib/pkgconfig)
  pkg_check_modules(PCRE2 QUIET IMPORTED_TARGET libpcre2-8)
  unset(ENV{PKG_CONFIG_LIBDIR})
endif()
if(NOT PCRE2_FOUND)
  if(NOT QRX_PCRE2_SOURCE_DIR OR NOT EXISTS ${QRX_PCRE2_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "The Windows build needs PCRE2 for the target: run "
      "`scripts/debian-sources.sh build-sources pcre2` and configure with "
      "-DQRX_PCRE2_SOURCE_DIR=${CMAKE_SOURCE_DIR}/build-sources/pcre2 (scripts/test.sh does both)")
  endif()
  set(PCRE2_BUILD_PCRE2GREP OFF CACHE BOOL "" FORCE)
  set(PCRE2_BUILD_TESTS OFF CACHE BOOL "" FORCE)
  set(PCRE2_SUPPORT_JIT OFF CACHE BOOL "" FORCE)
  set(PCRE2_SHOW_REPORT OFF CACHE BOOL "" FORCE)
  set(BUILD_SHARED_LIBS OFF)
  add_subdirectory(${QRX_PCRE2_SOURCE_DIR} ${CMAKE_BINARY_DIR}/pcre2 EXCLUDE_FROM_ALL)
  # Its own warnings are not ours to fail on.
  target_compile_options(pcre2-8-static PRIVATE -w)
  add_library(qrx_pcre2 INTERFACE)
  target_link_libraries(qrx_pcre2 INTERFACE pcre2-8-static)
  target_compile_definitions(qrx_pcre2 INTERFACE PCRE2_STATIC)
  add_library(PkgConfig::PCRE2 ALIAS qrx_pcre2)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/WindowsLibraries.cmake)

# GoogleTest from the sources Debian ships in /usr/src/googletest (package googletest),
# compiled for the target like our own code.
set(QRX_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
macro(qrx_add_cross_googletest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QRX_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(t gtest gtest_main gmock gmock_main)
    if(TARGET ${t})
      # Their own warnings are not ours to fail on.
      target_compile_options(${t} PRIVATE -w)
      if(NOT TARGET GTest::${t})
        add_library(GTest::${t} ALIAS ${t})
      endif()
    endif()
  endforeach()
  if(NOT TARGET GTest::GTest)
    add_library(GTest::GTest ALIAS gtest)
    add_library(GTest::Main ALIAS gtest_main)
  endif()
endmacro()
