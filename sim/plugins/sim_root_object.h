// The root object every simulated plug-in returns from "Create": it accepts the
// initialisation call (position 3, value 6) and the release at unload (position 1).
#pragma once

#include "plugin_object.h"

#include <qrx/plugin_boundary.h>

#include <cstdio>

namespace qrx::sim {

struct RootState {
  int initialisedWith = 0;
};
using RootObject = PluginObject<RootState>;

inline void RootRelease(RootObject *self) { delete self; }
inline int RootInitialise(RootObject *self, int value) {
  self->state.initialisedWith = value;
  return value == qrx::plugin::kRootInitialiseValue ? 0 : 1;
}

inline RootObject *MakeRootObject(const char *owner) {
  static PositionTable<qrx::plugin::kRootTableSize> table = [owner] {
    PositionTable<qrx::plugin::kRootTableSize> t(owner);
    t.Set(qrx::plugin::kRootRelease, &RootRelease);
    t.Set(qrx::plugin::kRootInitialise, &RootInitialise);
    return t;
  }();
  return new RootObject{table.AddressPoint(), {}};
}

} // namespace qrx::sim

#define QRX_SIM_EXPORT extern "C" __attribute__((visibility("default")))
