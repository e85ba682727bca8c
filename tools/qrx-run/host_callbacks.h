// What the library calls back on a station's thread: log lines, structured test items, the
// operator's barcode prompt and message boxes.
#pragma once

#include <qrx/host_events.h>
#include <qrx/host_ui.h>
#include <qrx/log_service.h>

#include <cstddef>
#include <string>

namespace qrx::tools {

// The library's log lines of one station on the terminal.
class StationObserver : public ILogObserver {
public:
  explicit StationObserver(int station) : station_(station) {}
  void OnLog(int level, std::string line) override;

private:
  int station_;
};

// The journal has every item; the live page shows them as they come.
void OnTestItem(void *, const QRXTestItemEvent *e);

// The barcode prompt: answered from --serial, else in the page and on the terminal.
int OnSerialPrompt(void *, const char *pattern, QRXMatchFn matches, void *matcher, char *out,
                   size_t size);
void OnMessageBox(void *, const char *caption, const char *text);

// A --serial answer for a station (0: every station); the last one keeps answering.
void GiveAnswer(int station, const std::string &answer);
// Whether an unanswered prompt may ask on the terminal (not with --no-terminal).
void UseTerminal(bool use);
bool UsesTerminal();
// The serial number the station's next prompt will be answered with, "" when none is given:
// for asking the MES before the prompt's step runs.
std::string NextGivenSerial(int station);

} // namespace qrx::tools
