// Shows the journals' events on the line page: one tile per station of every host and
// deployment the collector follows, read-only.
#pragma once

#include "journal_event.h"

#include "store/unit_record.h"
#include "web/line_monitor.h"

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

namespace qrx::collector {

class LivePageFeed {
public:
  explicit LivePageFeed(web::LineMonitor &monitor) : monitor_(monitor) {}

  // One journal event of the station named tileKey (a deployment, machine and thread index).
  void OnEvent(const std::string &tileKey, const nlohmann::json &station,
               const JournalEvent &event, const std::vector<store::UnitRecord> &finished);

private:
  int Tile(const std::string &tileKey);

  web::LineMonitor &monitor_;
  std::map<std::string, int> tiles_; // tile key -> station number on the page, from 1
};

} // namespace qrx::collector
