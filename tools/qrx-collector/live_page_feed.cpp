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
                           const JournalEvent &event,
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
  const std::string_view type = event.StringView(f::kType);
  if (type == ev::kStationStart) {
    introduce(tile, event.ToJson());
  } else if (type == ev::kStationEnd) {
    const std::string why = std::string(event.StringView(f::kText));
    monitor_.StationEnded(tile, why.empty() ? "the station ended (" +
                                                  std::to_string(event.Int(f::kResult)) + ")"
                                            : why);
  } else if (type == ev::kUnitBegin) {
    monitor_.UnitStarted(tile, std::string(event.StringView(f::kUnit)), std::string(event.StringView(f::kSerial)));
  } else if (type == ev::kCall) {
    std::string arguments;
    if (const auto args = event.Json(f::kArgs); args.is_array())
      for (const auto &a : args)
        arguments += (arguments.empty() ? "" : ", ") + (a.is_string() ? a.get<std::string>() : a.dump());
    const std::string name = std::string(event.StringView(f::kName));
    const auto result = static_cast<int32_t>(event.Int(f::kResult));
    monitor_.StepStarted(tile, -1, name, arguments);
    monitor_.StepEnded(tile, -1, name, result, result == 0);
    if (const auto rb = event.Json(f::kReadBack); rb.is_object()) {
      const std::string sn = text(rb, "Sn");
      if (!sn.empty() && result == 0)
        monitor_.SerialNumberKnown(tile, sn);
    }
  } else if (type == ev::kItem) {
    store::TestItemRecord item;
    item.name = std::string(event.StringView(f::kName));
    item.value = std::string(event.StringView(f::kValue));
    item.lower = std::string(event.StringView(f::kLower));
    item.upper = std::string(event.StringView(f::kUpper));
    item.verdict = std::string(event.StringView(f::kVerdict));
    item.passed = event.Bool(f::kPassed).value_or(false);
    monitor_.TestItem(tile, item);
  } else if (type == ev::kDownload) {
    const std::string_view phase = event.StringView(f::kPhase);
    if (phase == journal::download_phase::kStart)
      monitor_.DownloadProgress(tile, 0);
    else if (phase == journal::download_phase::kProgress)
      monitor_.DownloadProgress(tile, static_cast<int>(event.Int(f::kPercent)));
    else if (phase == journal::download_phase::kEnd) {
      monitor_.DownloadEnded(tile, event.Bool(f::kSuccess).value_or(false));
    }
  } else if (type == ev::kPrompt) {
    const std::string answer = std::string(event.StringView(f::kAnswer));
    if (!answer.empty())
      monitor_.SerialNumberKnown(tile, answer);
  }
}

} // namespace qrx::collector
