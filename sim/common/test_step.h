// One simulated test-library function: reads its staged inputs, runs the device model and
// logs each test item. Every export of the simulated test libraries calls Run with its row.
#pragma once

#include <qrx/test_tools.h>

#include <cstddef>

namespace qrx::sim {

struct StepInput {
  const char *section;
  const char *key;
  char type; // 'i' integer, 'd' double, 's' text
};

struct StepSpec {
  const char *function;
  const StepInput *inputs;
  size_t inputCount;
};

// Results of the simulated libraries besides 0 (success). 1 and -1 are left to the
// interface library's own meanings.
enum StepResult : int {
  kStepPassed = 0,
  kStepItemFailed = 2,   // a test item was out of its limits
  kStepBadInput = 3,     // a staged input is missing or does not parse
  kStepCancelled = 4,    // the operator cancelled a prompt
  kStepPrecondition = 5, // the device is not in the state the step needs (flags)
};

class TestStep {
public:
  static int Run(ITestTools *hub, const char *library, const StepSpec &spec);
};

} // namespace qrx::sim
