# Differential tests against Wine: a small C program, cross-built with MinGW-w64, asks the
# Windows API under Wine for its answers and writes them to a dump file; a GoogleTest test then
# compares the library's own answers with the dump.
#
# Use from a tests/<area>/CMakeLists.txt:
#
#   include(WineReference)
#   qrx_add_wine_reference(NAME ini_reference SOURCES ini_reference.c
#                          OUTPUT_VARIABLE dump ARGS <extra arguments>)
#   target_compile_definitions(test_x PRIVATE QRX_INI_REFERENCE_DUMP="${dump}")
#   gtest_discover_tests(test_x PROPERTIES FIXTURES_REQUIRED ini_reference)
#
# qrx_add_wine_reference builds <NAME>.exe from SOURCES (plain C, linked with the MinGW
# defaults; LIBRARIES adds -l options) and adds the CTest step <NAME>, which runs
# `wine <NAME>.exe <dump file> ARGS...` and is the setup of the fixture <NAME>. The program
# must write its answers to the file named by its first argument and exit 0. The dump's path
# goes into OUTPUT_VARIABLE; it is empty when wine or the MinGW compiler is missing, so the test
# reads an empty path as "no reference here" and skips with GTEST_SKIP and the reason (CI
# installs both through scripts/install-deps.sh, so there it never skips).
#
# The program starts on Wine's drive Z:, the Unix root, so a file argument can be an absolute
# Unix path ("/work/x/build/a.ini" names the same file as "Z:\work\x\build\a.ini"); Win32
# calls such as WritePrivateProfileStringA accept either form. ARGS must not contain "|".
#
# Every step shares one Wine prefix in the build tree (${CMAKE_BINARY_DIR}/wine-prefix),
# prepared once by the CTest fixture qrx_wine_prefix (about 6-10 s on first use, nothing after);
# WINEDEBUG is -all. Each step is one Wine start, about 2 s.
#
# Run as a script (cmake -P) this file carries out one step: MODE=prefix prepares the prefix,
# MODE=run runs EXE with OUTPUT and ARGS.

if(CMAKE_SCRIPT_MODE_FILE)
  set(ENV{WINEPREFIX} "${WINEPREFIX}")
  set(ENV{WINEDEBUG} "-all")
  # Wine would otherwise offer to install Mono and Gecko on the first start, waiting on dialogs.
  set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
  if(MODE STREQUAL "prefix")
    if(EXISTS "${WINEPREFIX}/qrx-prefix-ready")
      return()
    endif()
    # The first program started in a new prefix creates it and waits until it is ready.
    # Output goes to a file: wineserver stays a few seconds after wine ends, and a pipe it
    # inherited would keep this step waiting for it.
    execute_process(COMMAND "${WINE}" cmd /c exit RESULT_VARIABLE rc
                    OUTPUT_FILE "${WINEPREFIX}.log" ERROR_FILE "${WINEPREFIX}.log")
    if(NOT rc EQUAL 0 OR NOT EXISTS "${WINEPREFIX}/drive_c")
      file(READ "${WINEPREFIX}.log" log)
      message(FATAL_ERROR "preparing the Wine prefix failed (${rc}):\n${log}")
    endif()
    file(TOUCH "${WINEPREFIX}/qrx-prefix-ready")
  elseif(MODE STREQUAL "run")
    file(REMOVE "${OUTPUT}")
    string(REPLACE "|" ";" args "${ARGS}")
    execute_process(COMMAND "${WINE}" "${EXE}" "${OUTPUT}" ${args} RESULT_VARIABLE rc
                    OUTPUT_FILE "${OUTPUT}.log" ERROR_FILE "${OUTPUT}.log")
    file(READ "${OUTPUT}.log" log)
    if(NOT rc EQUAL 0 OR NOT EXISTS "${OUTPUT}")
      message(FATAL_ERROR "${EXE} under wine failed (${rc}):\n${log}")
    endif()
    message(STATUS "${EXE}: wrote ${OUTPUT}\n${log}")
  else()
    message(FATAL_ERROR "MODE must be prefix or run")
  endif()
  return()
endif()

find_program(QRX_WINE wine HINTS ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-bin)
find_program(QRX_MINGW_CC x86_64-w64-mingw32-gcc)
set(QRX_WINE_PREFIX "${CMAKE_BINARY_DIR}/wine-prefix")
set(_qrx_wine_reference_file "${CMAKE_CURRENT_LIST_FILE}")

function(qrx_add_wine_reference)
  cmake_parse_arguments(PARSE_ARGV 0 ref "" "NAME;OUTPUT_VARIABLE" "SOURCES;ARGS;LIBRARIES")
  if(NOT ref_NAME OR NOT ref_SOURCES OR NOT ref_OUTPUT_VARIABLE)
    message(FATAL_ERROR "qrx_add_wine_reference needs NAME, SOURCES and OUTPUT_VARIABLE")
  endif()
  if(NOT QRX_WINE OR NOT QRX_MINGW_CC)
    message(STATUS "${ref_NAME}: wine or x86_64-w64-mingw32-gcc missing; its tests will skip")
    set(${ref_OUTPUT_VARIABLE} "" PARENT_SCOPE)
    return()
  endif()
  set(sources "")
  foreach(s ${ref_SOURCES})
    get_filename_component(abs "${s}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    list(APPEND sources "${abs}")
  endforeach()
  set(libs "")
  foreach(l ${ref_LIBRARIES})
    list(APPEND libs "-l${l}")
  endforeach()
  set(exe "${CMAKE_CURRENT_BINARY_DIR}/${ref_NAME}.exe")
  set(dump "${CMAKE_CURRENT_BINARY_DIR}/${ref_NAME}.dump")
  add_custom_command(OUTPUT "${exe}"
    COMMAND "${QRX_MINGW_CC}" -O2 -Wall -Wextra -Werror -o "${exe}" ${sources} ${libs}
    DEPENDS ${sources}
    COMMENT "Cross-building the reference ${ref_NAME}.exe"
    VERBATIM)
  add_custom_target(${ref_NAME} ALL DEPENDS "${exe}")

  if(NOT TEST qrx_wine_prefix)
    add_test(NAME qrx_wine_prefix
      COMMAND ${CMAKE_COMMAND} -DMODE=prefix "-DWINEPREFIX=${QRX_WINE_PREFIX}"
              "-DWINE=${QRX_WINE}" -P "${_qrx_wine_reference_file}")
    set_tests_properties(qrx_wine_prefix PROPERTIES FIXTURES_SETUP qrx_wine_prefix TIMEOUT 300
                                                    RESOURCE_LOCK qrx_wine)
  endif()
  string(REPLACE ";" "|" args "${ref_ARGS}")
  add_test(NAME ${ref_NAME}
    COMMAND ${CMAKE_COMMAND} -DMODE=run "-DWINEPREFIX=${QRX_WINE_PREFIX}" "-DWINE=${QRX_WINE}"
            "-DEXE=${exe}" "-DOUTPUT=${dump}" "-DARGS=${args}" -P "${_qrx_wine_reference_file}")
  set_tests_properties(${ref_NAME} PROPERTIES FIXTURES_SETUP ${ref_NAME}
                                              FIXTURES_REQUIRED qrx_wine_prefix
                                              RESOURCE_LOCK qrx_wine TIMEOUT 300)
  set(${ref_OUTPUT_VARIABLE} "${dump}" PARENT_SCOPE)
endfunction()
