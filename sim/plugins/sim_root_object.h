// The root object every simulated plug-in returns from "Create": it accepts the
// initialisation call (position 3, value 6) and the release at unload (position 1).
#pragma once

#include <qrx/plugin_boundary.h>

namespace qrx::sim {

class SimRootObject final : public qrx::plugin::RootObject {
public:
  int Initialise(int value) override {
    initialisedWith_ = value;
    return value == qrx::plugin::kRootInitialiseValue ? 0 : 1;
  }
  void Release() override { delete this; }

private:
  int initialisedWith_ = 0;
};

inline void *MakeRootObject() { return static_cast<qrx::plugin::RootObject *>(new SimRootObject); }

} // namespace qrx::sim

#define QRX_SIM_EXPORT extern "C" __attribute__((visibility("default")))
