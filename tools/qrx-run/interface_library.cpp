#include "interface_library.h"

#include "platform/host_process.h"

namespace qrx::tools {

namespace host = qrx::platform::host;

bool InterfaceLibrary::Load(const std::string &path, std::string *error) {
  std::string loadError;
  handle_ = host::OpenLibrary(path, false, &loadError);
  if (!handle_) {
    *error = "cannot load " + path + ": " + loadError;
    return false;
  }
  init = reinterpret_cast<int (*)(int, const char *, const char *)>(Symbol("InitQRXInterface"));
  cleanup = reinterpret_cast<int (*)()>(Symbol("CleanUpQRXInterface"));
  beginUnit = reinterpret_cast<int (*)(const char *)>(Symbol("QRX_BeginUnit"));
  endUnit = reinterpret_cast<int (*)(int)>(Symbol("QRX_EndUnit"));
  unitId = reinterpret_cast<int (*)(char *, int)>(Symbol("QRX_GetUnitId"));
  if (!init || !cleanup) {
    *error = path + " lacks InitQRXInterface/CleanUpQRXInterface";
    return false;
  }
  return true;
}

void *InterfaceLibrary::Symbol(const std::string &name) const {
  return host::FindSymbol(handle_, name.c_str());
}

StepDiagnosis::Presence InterfaceLibrary::Probe(const std::string &file, const std::string &function) {
  void *h = host::OpenLoadedLibrary(file);
  if (!h && !host::IsAbsolutePath(file)) h = host::OpenLoadedLibrary(host::CurrentDirectory() + file);
  if (!h) return StepDiagnosis::Presence::kLibraryNotLoaded;
  bool found = host::FindSymbol(h, function.c_str()) != nullptr;
  host::CloseLibrary(h);
  return found ? StepDiagnosis::Presence::kFound : StepDiagnosis::Presence::kFunctionMissing;
}

} // namespace qrx::tools
