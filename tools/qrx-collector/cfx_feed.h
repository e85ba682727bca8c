// Journal events into the CFX publisher's calls: station starts and ends, units begun and
// ended, message boxes (a library or plug-in that cannot be loaded) as faults.
#pragma once

#include "journal_event.h"

#include "cfx_publisher.h"

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

namespace qrx::collector {

class CfxFeed {
public:
  explicit CfxFeed(cfx::CfxPublisher &publisher) : publisher_(publisher) {}
  void OnEvent(const std::string &tileKey, const nlohmann::json &station, const JournalEvent &event,
               const std::vector<store::UnitRecord> &finished);

private:
  // The publisher's station number for a tile: 1, 2, ... in the order stations appear.
  int Station(const std::string &tileKey);
  cfx::CfxPublisher &publisher_;
  std::map<std::string, int> stations_;
  std::map<int, std::vector<std::string>> faults_; // codes raised per station, cleared at its end
};

} // namespace qrx::collector
