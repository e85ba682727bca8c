# Compares the dynamic symbols that libQRXInterface.so defines with the promised exports:
# every function the public export header declares, plus the four platform functions that
# hosts and plug-ins reach by name. Any other symbol (a mangled C++ name, a stray helper, a
# decorated name) or any missing export fails the test.
#
# Inputs: NM, LIBRARY, EXPORT_HEADER, CATALOGUE_HEADER (may not exist yet).
cmake_minimum_required(VERSION 3.20)

set(platform_extras
  QRX_SetMessageBoxHandler QRX_SetSerialPromptHandler QRX_SendMessage QRX_PostMessage)
# Exports of the export catalogue, once every row is declared in the public header.
set(catalogue_size 252)

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
# Until the catalogue is in, the header holds only the station lifecycle; after, all of it.
if(EXISTS "${CATALOGUE_HEADER}" AND NOT declared_count EQUAL catalogue_size)
  message(FATAL_ERROR
    "${EXPORT_HEADER} declares ${declared_count} functions, the catalogue has ${catalogue_size}")
endif()

set(expected ${declared} ${platform_extras})
list(REMOVE_DUPLICATES expected)

# --- names the library defines ------------------------------------------------------------
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

# --- comparison ---------------------------------------------------------------------------
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
message(STATUS "${exported_count} exports, all promised and undecorated")
