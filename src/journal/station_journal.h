// One station's journal: every event of the station as one JSON line, appended on the thread
// that caused it, and the unit boundaries the library decides from the export catalogue.
// Opt-in per deployment (Recording.xml); a station without it has no StationJournal at all.
#pragma once

#include "interface/export_catalogue.h"
#include "journal/journal_output.h"
#include "journal/journal_settings.h"
#include "journal/json_line.h"
#include "journal/unit_tracker.h"

#include <qrx/download_event.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qrx {
union ExportArgument;
}

namespace qrx::journal {

// What an export handed back to its host beside its result.
struct ExportReadBack {
  bool present = false;
  bool isNumber = false;
  std::string text; // in the ANSI code page
  double number = 0;
};

class StationJournal {
public:
  // The journal of a station that is starting, when the deployment has Recording.xml; null
  // otherwise. When its file cannot be opened the journal still exists (it tries again later)
  // and *problem says why.
  static std::unique_ptr<StationJournal> Open(const std::string &stationDirectory,
                                              int threadIndex, const std::string &productType,
                                              const std::string &businessConfig,
                                              bool *required, std::string *problem);
  ~StationJournal();
  StationJournal(const StationJournal &) = delete;
  StationJournal &operator=(const StationJournal &) = delete;

  // The journal of the calling thread's station, null when it has none. Logs, test items,
  // prompts and message boxes find their journal here.
  static StationJournal *Current();
  // The steady clock in nanoseconds, as the journal's monoNs.
  static int64_t MonoNs();
  static void SetCurrent(StationJournal *journal);

  // Where the one line about a journal that cannot be written goes beside standard error: the
  // station's log observers. Told at the next export call, when the host has registered them.
  void SetProblemLine(std::function<void(const std::string &)> sayToObservers);

  // Events before StationStart are held and written after it.
  void StationStart(int result);
  void StationEnd(int result);

  void BeforeCall(const ExportRow &row, const ExportArgument *arguments);
  // startNs, endNs: MonoNs() before and after the call.
  void AfterCall(const ExportRow &row, const ExportArgument *arguments, int32_t result,
                 int64_t startNs, int64_t endNs, const ExportReadBack &readBack);
  void Item(const std::string &source, const std::string &item, const std::string &value,
            const std::string &upper, const std::string &lower, const std::string &verdict,
            int tag);
  void Log(int level, const std::string &text);
  // expected: for a comparison, else null.
  void Identity(std::string_view kind, std::string_view op, std::string_view value,
                const char *expected, int result, bool passed);
  void Prompt(const std::string &pattern, const std::string &answer, bool cancelled);
  void MessageBox(const char *caption, const std::string &text);
  // The host's own unit boundaries (QRX_BeginUnit, QRX_EndUnit).
  void HostBeginUnit(const std::string &serial);
  void HostEndUnit(int verdict);
  // The open unit's id; "" between units.
  std::string OpenUnitId();

  // Progress of the download this station started last, from the relay's thread.
  static void DownloadProgress(const QRXDownloadEvent &event);

private:
  struct Held {
    std::string_view type;
    int64_t wallUs;
    int64_t monoNs;
    bool inUnit;
    bool failedItem;
    std::string body;
  };

  StationJournal(const JournalSettings &settings, int threadIndex, std::string productType,
                 std::string businessConfig);

  // The body_ buffer, emptied, for the fields of one event.
  JsonLine &Body();
  // Writes (or holds) the event whose fields are in body_, at monoNs (0: now); the seq it was
  // written with, -1 when held or lost.
  int64_t Finish(std::string_view type, bool inUnit = true, bool failedItem = false,
                 int64_t monoNs = 0);
  // The wall time of an event at *monoNs, which it moves to no earlier than the last event's.
  void Stamp(int64_t *wallUs, int64_t *monoNs);
  int64_t WriteLine(std::string_view type, int64_t wallUs, int64_t monoNs, bool inUnit,
                    std::string_view body);
  // The fields every line starts with, into out (emptied first).
  void Header(JsonLine &out, std::string_view type, int64_t wallUs, int64_t monoNs,
              bool inUnit);
  void TellProblem();
  void FlushHeld();
  void BeginUnit(const std::string &serial, bool isExplicit, std::string_view reason);
  void EndUnit(std::string_view reason, bool hostVerdict, bool pass);
  // A serial number read or entered: names the open unit or ends it and begins the next.
  void Named(const std::string &serial);
  void DownloadEvent(const QRXDownloadEvent &event);
  // The events of a call that returned.
  void Recorded(const ExportRow &row, const ExportArgument *arguments, int32_t result,
                int64_t startNs, int64_t endNs, const ExportReadBack &readBack);

  std::mutex lock_; // the relay's thread writes download progress beside the station's
  JournalOutput output_;
  UnitTracker unit_;
  int threadIndex_;
  std::string productType_;
  std::string businessConfig_;
  JsonLine body_;
  JsonLine line_;
  JsonLine extra_;
  std::vector<Held> held_;
  size_t heldCount_ = 0;
  bool started_ = false;
  bool holding_ = false;  // inside a naming call, or before the station start
  bool hostDriven_ = false; // the host said where units begin: none begin by themselves
  std::string promptedSerial_; // entered during a naming call
  std::function<void(const std::string &)> sayToObservers_;
  std::string problemLine_; // told to the observers at the next call
  int64_t lastMonoNs_ = 0;
  int64_t wallReadNs_ = 0; // monoNs when the wall clock was read last, and what it said
  int64_t wallReadUs_ = 0;
  int lastMilestone_ = -1;
  int downloadError_ = 0;
  bool downloadOpen_ = false; // started and not ended yet
};

} // namespace qrx::journal
