// Structured test items and log lines for the host: the process-wide handlers a host installs
// with QRX_SetTestItemHandler and QRX_SetLogLineHandler, and the hand-over of every station's
// test items and observer lines to them.
#pragma once

#include <string>

namespace qrx {

class TestItemEvents {
public:
  // Hands one test item to the host's handler, if one is installed: texts converted from the
  // ANSI code page to UTF-8, numbers parsed where the texts hold one, both clocks read now.
  // Costs one atomic load when no handler is installed.
  static void Publish(int threadIndex, const std::string &source, const std::string &item,
                      const std::string &value, const std::string &upper,
                      const std::string &lower, const std::string &verdict, int tag);

  // The number a limit or value text holds ("1.50", " -3", "+2e3"), or false when the text is
  // anything else (empty, "N/A", "1.5dB", not finite).
  static bool ParseNumber(const std::string &text, double *number);

  // Hands one observer line to the host's log-line handler, if one is installed: the line as
  // it stands (ANSI code page) and in UTF-8.
  static void PublishLine(int threadIndex, int level, const std::string &line);
};

} // namespace qrx
