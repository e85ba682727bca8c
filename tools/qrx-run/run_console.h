// qrx-run's terminal: one line at a time from every station thread, the library's texts in
// UTF-8 (in English with --lang en), and the operator's word between units with --loop.
#pragma once

#include <mutex>
#include <string>

namespace qrx::tools {

struct ConsoleSettings {
  bool quiet = false;   // --quiet: the library's log lines are not printed
  bool english = false; // --lang en
};
ConsoleSettings &Console();

// Held while a line is printed; the terminal prompt holds it while the operator types.
std::mutex &PrintLock();

// The library's texts as the operator reads them.
std::string Shown(const std::string &ansi);

// "[S<station>] text", or the text alone for station 0.
void Print(int station, const std::string &text);

// The operator decides after each verdict whether the next unit is tested (standard input:
// an empty line or "n" goes on, "q" or the end of input quits). Stations waiting for the
// operator take turns at the input; the others go on printing.
bool OperatorWantsNext(int station, int unit, bool passed);

} // namespace qrx::tools
