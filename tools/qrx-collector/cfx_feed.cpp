// What the bus hears of each journal event.
#include "cfx_feed.h"

#include "journal/journal_format.h"

namespace qrx::collector {

namespace f = journal::field;
namespace ev = journal::event;

int CfxFeed::Station(const std::string &tileKey) {
  const auto it = stations_.find(tileKey);
  if (it != stations_.end()) return it->second;
  const int station = static_cast<int>(stations_.size()) + 1;
  stations_.emplace(tileKey, station);
  return station;
}

void CfxFeed::OnEvent(const std::string &tileKey, const nlohmann::json &station,
                      const JournalEvent &event, const std::vector<store::UnitRecord> &finished) {
  auto text = [](const nlohmann::json &o, std::string_view key) {
    const auto it = o.find(key);
    return it != o.end() && it->is_string() ? it->get<std::string>() : std::string();
  };
  auto number = [](const nlohmann::json &o, std::string_view key) -> int64_t {
    const auto it = o.find(key);
    return it != o.end() && it->is_number() ? it->get<int64_t>() : 0;
  };
  const int index = Station(tileKey);
  // What the ids of the event's messages derive from: the station, its run (the time of its
  // station_start) and the event's place in the journal.
  const std::string key = tileKey + '|' + std::to_string(number(station, f::kWallUs)) + '|' +
                          std::to_string(event.Int(f::kWallUs)) + '|' +
                          std::to_string(event.Int(f::kSeq)) + '|' +
                          std::string(event.StringView(f::kType));
  const int64_t at = event.Int(f::kWallUs);
  if (!finished.empty()) {
    std::vector<store::UnitRecord> units = finished;
    for (store::UnitRecord &unit : units) unit.threadIndex = index; // the bus's station, as WorkStarted named it
    publisher_.OnUnitsEnded(units.data(), units.size());
  }
  const std::string_view type = event.StringView(f::kType);
  if (type == ev::kStationStart) {
    publisher_.OnStationState(index, cfx::StationState::Starting, "", key, at);
    const int64_t result = event.Int(f::kResult);
    if (result == 0)
      publisher_.OnStationState(index, cfx::StationState::AwaitingUnit, "", key, at);
    else
      publisher_.OnStationState(index, cfx::StationState::FailedToStart,
                                "InitQRXInterface returned " + std::to_string(result) +
                                    " on " + std::string(event.StringView(f::kMachine)), key, at);
  } else if (type == ev::kStationEnd) {
    for (const std::string &code : faults_[index]) publisher_.OnFaultCleared(index, code, key);
    faults_.erase(index);
    publisher_.OnStationState(index, cfx::StationState::Ended, "", key, at);
  } else if (type == ev::kUnitBegin) {
    store::UnitRecord header;
    header.unitId = std::string(event.StringView(f::kUnit));
    header.serialNumber = std::string(event.StringView(f::kSerial));
    header.threadIndex = index;
    header.productType = text(station, f::kProductType);
    header.businessConfig = text(station, f::kBusinessConfig);
    header.hostName = text(station, f::kMachine);
    header.startedUs = event.Int(f::kWallUs);
    publisher_.OnUnitStarted(header);
  } else if (type == ev::kMessageBox) {
    // The library shows a message box when a library, plug-in or setting file cannot be
    // loaded: the station cannot work until it is restarted.
    const std::string code = "MESSAGE_BOX";
    auto &raised = faults_[index];
    if (raised.empty()) raised.push_back(code);
    publisher_.OnFault(index, code,
                       std::string(event.StringView(f::kCaption)) + ": " +
                           std::string(event.StringView(f::kText)),
                       key, at);
  }
}

} // namespace qrx::collector
