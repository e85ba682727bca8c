// What the host tools (qrx-run, qrx-doctor) need from the system to act as a station's host
// program: loading a deployment's libraries by full path, their file names, the program's and
// the working folders, and environment defaults.
#pragma once

#include <string>

namespace qrx::platform::host {

// File names in a deployment folder: the interface library, the VISA stand-in, and the suffix
// of test libraries, plug-ins and instrument libraries ("libQRXInterface.so", "libvisa.so",
// ".so" on POSIX systems; "QRXInterface.dll", "visa32.dll", ".dll" on Windows).
const char *InterfaceLibraryFile();
const char *VisaLibraryFile();
const char *LibrarySuffix();

// Loads the library at path with all its references resolved now; null on failure with the
// loader's message in *error. `global` makes its symbols available to libraries loaded later.
void *OpenLibrary(const std::string &path, bool global, std::string *error);
// The library at path only when this process has loaded it already (one more reference, given
// back with CloseLibrary); null otherwise. Never loads anything.
void *OpenLoadedLibrary(const std::string &path);
void *FindSymbol(void *library, const char *name);
void CloseLibrary(void *library);

// The running program's folder and the working folder, each ending with a separator; "" when
// unknown.
std::string ProgramDirectory();
std::string CurrentDirectory();
bool ChangeDirectory(const std::string &directory);
bool IsAbsolutePath(const std::string &path);

// Sets the environment variable only when it is not set yet.
void SetEnvironmentDefault(const char *name, const std::string &value);

// The machine's own name ("" when unknown).
std::string MachineName();

} // namespace qrx::platform::host
