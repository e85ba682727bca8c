// Declares one exported function of a simulated test library: the test-library entry
// convention (one hub pointer in, a signed 32-bit result out) around TestStep::Run.
#pragma once

#include "../common/test_step.h"

#ifndef QRX_SIM_LIBRARY
#error "QRX_SIM_LIBRARY names the library (its log source)"
#endif

// A step without staged inputs.
#define QRX_SIM_STEP(function)                                                                 \
  extern "C" __attribute__((visibility("default"))) int function(ITestTools *hub) {            \
    static const qrx::sim::StepSpec spec{#function, nullptr, 0};                               \
    return qrx::sim::TestStep::Run(hub, QRX_SIM_LIBRARY, spec);                                \
  }

// A step that reads staged inputs, given as {"Section", "Key", 'i' | 'd' | 's'} records;
// an upper-case type marks an input the export stages only sometimes.
#define QRX_SIM_STEP_IN(function, ...)                                                         \
  extern "C" __attribute__((visibility("default"))) int function(ITestTools *hub) {            \
    static const qrx::sim::StepInput inputs[] = {__VA_ARGS__};                                 \
    static const qrx::sim::StepSpec spec{#function, inputs, sizeof inputs / sizeof inputs[0]}; \
    return qrx::sim::TestStep::Run(hub, QRX_SIM_LIBRARY, spec);                                \
  }
