// The smallest plug-in a station comes up with: a root object and an SN object whose every
// position answers 0. Other test areas deploy it as each of the four BI plug-ins; deployed as
// the UFI plug-in (a file name with "UFI" in it) it hands out the UFI object, otherwise the
// phone object, since the two tables take different arguments at the same positions.
#include <qrx/plugin_boundary.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {
class Root final : public qrx::plugin::RootObject {};
class PhoneSn final : public qrx::plugin::PhoneSnObject {};
class UfiSn final : public qrx::plugin::UfiSnObject {};

std::string OwnFileName() {
#ifdef _WIN32
  HMODULE self = nullptr;
  char name[MAX_PATH] = {};
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&OwnFileName), &self))
    GetModuleFileNameA(self, name, sizeof name);
  return name;
#else
  Dl_info info{};
  return dladdr(reinterpret_cast<void *>(&OwnFileName), &info) && info.dli_fname ? info.dli_fname
                                                                                 : "";
#endif
}
} // namespace

extern "C" __attribute__((visibility("default"))) void *Create(void) {
  static Root root;
  return static_cast<qrx::plugin::RootObject *>(&root);
}

extern "C" __attribute__((visibility("default"))) void *LoadQRXDll(int) {
  static PhoneSn phone;
  static UfiSn ufi;
  if (OwnFileName().find("UFI") != std::string::npos)
    return static_cast<qrx::plugin::UfiSnObject *>(&ufi);
  return static_cast<qrx::plugin::PhoneSnObject *>(&phone);
}
