// Builds the unit records of one station run from its journal events, in order: the header
// from station_start and unit_begin, a step per call, the items, identities and downloads
// logged meanwhile, the verdict from unit_end.
#pragma once

#include "journal_event.h"

#include "store/unit_record.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qrx::collector {

class UnitAssembler {
public:
  // The run's station_start event (or what was kept of it): product, configuration, machine.
  void SetStation(const nlohmann::json &stationStart);
  const nlohmann::json &Station() const { return station_; }

  // Takes one event. Units it ended (normally one, at unit_end; an earlier unit left open by
  // lost lines ends as incomplete) are appended to *finished.
  void Add(const JournalEvent &event, int64_t seq, std::vector<store::UnitRecord> *finished);
  // The same for an event held as a tree.
  void Add(const nlohmann::json &event, int64_t seq, std::vector<store::UnitRecord> *finished) {
    Add(JournalEvent::FromJson(event), seq, finished);
  }

  bool Open() const { return open_; }
  const store::UnitRecord &Current() const { return unit_; }
  // The open unit, cut short (its host died): recorded as incomplete.
  store::UnitRecord TakeIncomplete();
  // Forgets the open unit (the journal is read again from an earlier position).
  void Reset();

private:
  void Begin(const std::string &unitId, const std::string &serial, int64_t wallUs);
  store::UnitRecord Finish(store::UnitVerdict verdict, int64_t endedUs);
  int StepIndexNow() const { return static_cast<int>(unit_.steps.size()); }

  nlohmann::json station_ = nlohmann::json::object();
  store::UnitRecord unit_;
  bool open_ = false;
  int64_t lastWallUs_ = 0;
  std::map<int64_t, int> stepOfCall_;    // call seq -> step index
  std::optional<store::DownloadRecord> download_; // started, not yet ended
  int64_t downloadStartUs_ = 0;
};

} // namespace qrx::collector
