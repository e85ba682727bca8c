// The smallest plug-in a station comes up with: a root object and an SN object whose every
// position answers 0. Other test areas deploy it as each of the four BI plug-ins; deployed as
// the UFI plug-in (a file name with "UFI" in it) it hands out the UFI object, otherwise the
// phone object, since the two tables take different arguments at the same positions.
#include <qrx/plugin_boundary.h>

#include "own_file_name.h"

namespace {
class Root final : public qrx::plugin::RootObject {};
class PhoneSn final : public qrx::plugin::PhoneSnObject {};
class UfiSn final : public qrx::plugin::UfiSnObject {};
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
