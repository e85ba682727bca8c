// Loading VISA by the platform's name and binding the functions of one identification query.
#include "instruments/visa_library.h"

#include "platform/visa_library_name.h"

namespace qrx {
namespace {

template <typename Fn> bool Bind(platform::ModuleHandle module, const char *name, Fn *out) {
  *out = reinterpret_cast<Fn>(platform::GetProcAddress(module, name));
  return *out != nullptr;
}

} // namespace

bool VisaLibrary::Load() {
  Free();
  module_ = platform::LoadSystemLibrary(platform::VisaLibraryName());
  if (!module_) return false;
  const bool complete = Bind(module_, "viOpenDefaultRM", &viOpenDefaultRM) &&
                        Bind(module_, "viOpen", &viOpen) && Bind(module_, "viClear", &viClear) &&
                        Bind(module_, "viQueryf", &viQueryf) &&
                        Bind(module_, "viClose", &viClose) &&
                        Bind(module_, "viFindRsrc", &viFindRsrc) &&
                        Bind(module_, "viFindNext", &viFindNext);
  if (!complete) Free();
  return complete;
}

void VisaLibrary::Free() {
  if (module_) platform::FreeLibrary(module_);
  module_ = nullptr;
  viOpenDefaultRM = nullptr;
  viOpen = nullptr;
  viClear = nullptr;
  viQueryf = nullptr;
  viClose = nullptr;
  viFindRsrc = nullptr;
  viFindNext = nullptr;
}

} // namespace qrx
