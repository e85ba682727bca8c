// One line per CFX message for people watching the bus: time, sender, message, unit and what
// matters about it.
#pragma once

#include "cfx_envelope.h"

#include <string>

namespace qrx::cfx {

class TailLine {
public:
  // "14:03:27.512 Acme.FT3000.SN0042 UnitsTested X1-2026-000123 Failed tests 2 (1 failed)
  //  measurements 3"; messages that do not match the CFX table get " [!] " and the first problem.
  static std::string Format(const Json &envelope);
};

} // namespace qrx::cfx
