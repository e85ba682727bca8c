// The smallest plug-in a station comes up with: a root object and an SN object whose every
// position answers 0. Other test areas deploy it as each of the four BI plug-ins.
#include <qrx/plugin_boundary.h>

namespace {
struct Object {
  const void *const *table;
};
} // namespace

extern "C" __attribute__((visibility("default"))) void *Create(void) {
  static const qrx::plugin::Table<qrx::plugin::kRootTableSize> table;
  static Object root{table.AddressPoint()};
  return &root;
}

extern "C" __attribute__((visibility("default"))) void *LoadQRXDll(int) {
  static const qrx::plugin::Table<qrx::plugin::kUfiSnTableSize> table;
  static Object sn{table.AddressPoint()};
  return &sn;
}
