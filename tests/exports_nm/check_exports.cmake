# Compares the dynamic symbols that libQRXInterface.so defines with the promised exports:
# every name of the export catalogue (printed by NAMES_TOOL, which reads the catalogue itself),
# plus the platform, host-event and version functions that hosts and plug-ins reach by name.
# Any other symbol (a mangled C++ name, a stray helper, a decorated name) or any missing export
# fails the test.
# The public export header must declare exactly the catalogue's names too.
#
# For a Windows DLL, OBJDUMP replaces NM: the names come from the export name table of
# `objdump -p`, and NAMES_TOOL runs through EMULATOR (its words joined by "|", e.g. wine).
#
# Inputs: NM or OBJDUMP, LIBRARY, EXPORT_HEADER, NAMES_TOOL, EXTRAS, optionally EMULATOR.
cmake_minimum_required(VERSION 3.20)

file(STRINGS "${EXTRAS}" platform_extras REGEX "^[A-Za-z_]")
string(REPLACE "|" ";" EMULATOR "${EMULATOR}")

# --- names of the export catalogue --------------------------------------------------------
execute_process(
  COMMAND ${EMULATOR} "${NAMES_TOOL}" names
  OUTPUT_VARIABLE catalogue_output
  RESULT_VARIABLE catalogue_result)
if(NOT catalogue_result EQUAL 0)
  message(FATAL_ERROR "${NAMES_TOOL} failed")
endif()
string(REPLACE "\r" "" catalogue_output "${catalogue_output}")
string(STRIP "${catalogue_output}" catalogue_output)
string(REPLACE "\n" ";" catalogue "${catalogue_output}")
list(LENGTH catalogue catalogue_size)
if(catalogue_size EQUAL 0)
  message(FATAL_ERROR "the export catalogue printed no names")
endif()

# --- names declared in the export header --------------------------------------------------
file(STRINGS "${EXPORT_HEADER}" header_lines)
set(declared "")
set(in_comment FALSE)
foreach(line IN LISTS header_lines)
  if(in_comment)
    if(line MATCHES "\\*/")
      set(in_comment FALSE)
    endif()
    continue()
  endif()
  string(REGEX REPLACE "/\\*.*\\*/" "" line "${line}")
  if(line MATCHES "/\\*")
    string(REGEX REPLACE "/\\*.*" "" line "${line}")
    set(in_comment TRUE)
  endif()
  string(REGEX REPLACE "//.*" "" line "${line}")
  # A declaration starts a line with its result type: "int Name(" or "QRX_API int *Name(".
  if(line MATCHES "^[ \t]*typedef")
    continue()
  endif()
  if(line MATCHES "^[ \t]*[A-Za-z_][A-Za-z0-9_ \t]*[ \t*]+([A-Za-z_][A-Za-z0-9_]*)[ \t]*\\(")
    list(APPEND declared "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(REMOVE_DUPLICATES declared)
list(LENGTH declared declared_count)
if(declared_count EQUAL 0)
  message(FATAL_ERROR "no function declarations found in ${EXPORT_HEADER}")
endif()
set(header_failures "")
foreach(name IN LISTS declared)
  if(NOT name IN_LIST catalogue)
    string(APPEND header_failures "\n  declared but not in the catalogue: ${name}")
  endif()
endforeach()
foreach(name IN LISTS catalogue)
  if(NOT name IN_LIST declared)
    string(APPEND header_failures "\n  in the catalogue but not declared: ${name}")
  endif()
endforeach()
if(header_failures)
  message(FATAL_ERROR "${EXPORT_HEADER}:${header_failures}")
endif()

set(expected ${catalogue} ${platform_extras})
list(REMOVE_DUPLICATES expected)

# --- names the library defines ------------------------------------------------------------
set(exported "")
if(OBJDUMP)
  execute_process(
    COMMAND "${OBJDUMP}" -p "${LIBRARY}"
    OUTPUT_VARIABLE dump
    RESULT_VARIABLE dump_result)
  if(NOT dump_result EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${LIBRARY}")
  endif()
  string(REPLACE "\n" ";" dump_lines "${dump}")
  set(in_names FALSE)
  foreach(line IN LISTS dump_lines)
    if(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
      set(in_names TRUE)
    elseif(in_names AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] (.+)$")
      list(APPEND exported "${CMAKE_MATCH_1}")
    elseif(in_names)
      break()
    endif()
  endforeach()
  # Only Windows' own DLLs may be needed beside the library.
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  foreach(import IN LISTS imports)
    string(TOLOWER "${import}" import)
    if(NOT import MATCHES "dll name: (kernel32|user32|gdi32|msvcrt|advapi32|version|ntdll)\\.dll")
      string(APPEND import_failures "\n  needs a DLL outside Windows: ${import}")
    endif()
  endforeach()
  if(import_failures)
    message(FATAL_ERROR "${LIBRARY}:${import_failures}")
  endif()
else()
execute_process(
  COMMAND "${NM}" -D --defined-only -P "${LIBRARY}"
  OUTPUT_VARIABLE nm_output
  ERROR_VARIABLE nm_error
  RESULT_VARIABLE nm_result)
if(NOT nm_result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}: ${nm_error}")
endif()
string(REPLACE "\n" ";" nm_lines "${nm_output}")
set(exported "")
foreach(line IN LISTS nm_lines)
  if(line STREQUAL "")
    continue()
  endif()
  # POSIX format: "name type [value size]"; a versioned name carries "@" and fails below.
  string(REGEX MATCH "^[^ ]+" name "${line}")
  list(APPEND exported "${name}")
endforeach()
endif()

# --- comparison ---------------------------------------------------------------------------
# A build for coverage links libgcov, which leaves this one helper of its own visible.
list(REMOVE_ITEM exported mangle_path)
set(failures "")
foreach(name IN LISTS exported)
  if(name MATCHES "^_Z")
    string(APPEND failures "\n  exported C++ symbol: ${name}")
  elseif(NOT name MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    string(APPEND failures "\n  decorated name: ${name}")
  elseif(NOT name IN_LIST expected)
    string(APPEND failures "\n  exported but not promised: ${name}")
  endif()
endforeach()
foreach(name IN LISTS expected)
  if(NOT name IN_LIST exported)
    string(APPEND failures "\n  promised but not exported: ${name}")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${LIBRARY}:${failures}")
endif()
list(LENGTH exported exported_count)
list(LENGTH expected expected_count)
if(NOT exported_count EQUAL expected_count)
  message(FATAL_ERROR "${exported_count} exports for ${expected_count} promised names")
endif()
message(STATUS "${exported_count} exports, all promised and undecorated")
