// Where the instrument detection finds the station's VISA implementation.
#pragma once

#include <string>

namespace qrx::platform {

// The name VISA is loaded by for each query: the environment variable QRX_VISA_LIBRARY when
// set and not empty (a bare name or a path), else "libvisa.so", the name under which VISA
// implementations install on Linux.
std::string VisaLibraryName();

} // namespace qrx::platform
