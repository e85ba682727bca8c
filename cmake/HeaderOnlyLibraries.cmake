# nlohmann-json and CLI11 are headers only, so the build machine's copies serve a cross build
# too. Their package files point at /usr/include, which a MinGW build must not search (glibc's
# headers would shadow the target's), so a cross build sees them through a folder of its own
# that holds just their two directories.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3 REQUIRED)
  find_package(CLI11 REQUIRED)
  return()
endif()
find_path(QRX_HOST_NLOHMANN_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_path(QRX_HOST_CLI11_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(_qrx_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${_qrx_headers})
file(CREATE_LINK ${QRX_HOST_NLOHMANN_DIR}/nlohmann ${_qrx_headers}/nlohmann SYMBOLIC)
file(CREATE_LINK ${QRX_HOST_CLI11_DIR}/CLI ${_qrx_headers}/CLI SYMBOLIC)
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_qrx_headers})
endif()
if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_qrx_headers})
endif()
