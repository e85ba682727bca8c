// Where the library and the host live on disk.
#pragma once

#include <string>

namespace qrx::platform {

// Separator used to join folders beside the library ("<module dir>BusinessCfg/Common.xml").
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Directory of the loaded library, ending with the separator: the folder it was loaded from,
// as the loader names it (GetModuleFileNameA on Windows), links not resolved; a relative name
// is taken against the working directory at load time.
// When the code is linked statically (tests), the directory of the executable.
std::string ModuleDirectory();

// Lets a statically linked test process stand in for a deployed library: while set (non-empty,
// ending with '/'), ModuleDirectory() returns this directory. An empty text restores the real one.
void OverrideModuleDirectory(const std::string &directory);

// Directory whose BusinessCfg/ folder holds the station's configuration, ending with '/'. By
// default the library's own directory (ModuleDirectory()). A host that uses a shared, installed
// library (one libQRXInterface.so in /usr/lib serving a deployment elsewhere) names the
// deployment with the environment variable QRX_STATION_DIR; it is read at every call and
// ignored when empty. A test's OverrideModuleDirectory() wins over both.
std::string StationDirectory();

// Directory of the host executable (/proc/self/exe, or the process's module file), ending
// with the separator; "" when unknown.
std::string ExecutableDirectory();

namespace system {
// Directory of the module that holds this code (dladdr, or GetModuleHandleEx and
// GetModuleFileNameA), ending with the separator; "" when the system cannot say. Supplied by
// posix/ or win32/module_path.cpp for the shared rules above.
std::string LoadedModuleDirectory();
} // namespace system

} // namespace qrx::platform
