// Journal events into the line monitor's calls.
#include "live_page_feed.h"

#include "journal/journal_format.h"

namespace qrx::collector {

namespace f = journal::field;
namespace ev = journal::event;

int LivePageFeed::Tile(const std::string &tileKey) {
  const auto it = tiles_.find(tileKey);
  if (it != tiles_.end())
    return it->second;
  const int tile = static_cast<int>(tiles_.size()) + 1;
  tiles_.emplace(tileKey, tile);
  return tile;
}

void LivePageFeed::OnEvent(const std::string &tileKey, const nlohmann::json &station,
                           const nlohmann::json &event,
                           const std::vector<store::UnitRecord> &finished) {
  auto text = [](const nlohmann::json &o, std::string_view key) {
    const auto it = o.find(key);
    return it != o.end() && it->is_string() ? it->get<std::string>() : std::string();
  };
  auto number = [](const nlohmann::json &o, std::string_view key) -> int64_t {
    const auto it = o.find(key);
    return it != o.end() && it->is_number() ? it->get<int64_t>() : 0;
  };
  auto introduce = [&](int tile, const nlohmann::json &start) {
    monitor_.StationStarted(tile, text(start, f::kProductType),
                            text(start, f::kBusinessConfig) + " · " + text(start, f::kMachine) +
                                " · " + text(start, f::kHostProcess) + " " +
                                std::to_string(number(start, f::kHostPid)));
  };
  const bool known = tiles_.count(tileKey) != 0;
  const int tile = Tile(tileKey);
  if (!known && station.is_object() && !station.empty())
    introduce(tile, station); // a run followed from the middle of its journal
  // Units that ended (also those a new unit's begin cut short) come first.
  for (const store::UnitRecord &unit : finished)
    monitor_.UnitEnded(tile, unit);
  const std::string type = text(event, f::kType);
  if (type == ev::kStationStart) {
    introduce(tile, event);
  } else if (type == ev::kStationEnd) {
    const std::string why = text(event, f::kText);
    monitor_.StationEnded(tile, why.empty() ? "the station ended (" +
                                                  std::to_string(number(event, f::kResult)) + ")"
                                            : why);
  } else if (type == ev::kUnitBegin) {
    monitor_.UnitStarted(tile, text(event, f::kUnit), text(event, f::kSerial));
  } else if (type == ev::kCall) {
    std::string arguments;
    if (const auto args = event.find(f::kArgs); args != event.end() && args->is_array())
      for (const auto &a : *args)
        arguments += (arguments.empty() ? "" : ", ") + (a.is_string() ? a.get<std::string>() : a.dump());
    const std::string name = text(event, f::kName);
    const auto result = static_cast<int32_t>(number(event, f::kResult));
    monitor_.StepStarted(tile, -1, name, arguments);
    monitor_.StepEnded(tile, -1, name, result, result == 0);
    if (const auto rb = event.find(f::kReadBack); rb != event.end() && rb->is_object()) {
      const std::string sn = text(*rb, "Sn");
      if (!sn.empty() && result == 0)
        monitor_.SerialNumberKnown(tile, sn);
    }
  } else if (type == ev::kItem) {
    store::TestItemRecord item;
    item.name = text(event, f::kName);
    item.value = text(event, f::kValue);
    item.lower = text(event, f::kLower);
    item.upper = text(event, f::kUpper);
    item.verdict = text(event, f::kVerdict);
    const auto passed = event.find(f::kPassed);
    item.passed = passed != event.end() && passed->is_boolean() && passed->get<bool>();
    monitor_.TestItem(tile, item);
  } else if (type == ev::kDownload) {
    const std::string phase = text(event, f::kPhase);
    if (phase == journal::download_phase::kStart)
      monitor_.DownloadProgress(tile, 0);
    else if (phase == journal::download_phase::kProgress)
      monitor_.DownloadProgress(tile, static_cast<int>(number(event, f::kPercent)));
    else if (phase == journal::download_phase::kEnd) {
      const auto ok = event.find(f::kSuccess);
      monitor_.DownloadEnded(tile, ok != event.end() && ok->is_boolean() && ok->get<bool>());
    }
  } else if (type == ev::kPrompt) {
    const std::string answer = text(event, f::kAnswer);
    if (!answer.empty())
      monitor_.SerialNumberKnown(tile, answer);
  }
}

} // namespace qrx::collector
