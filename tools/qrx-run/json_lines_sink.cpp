// One unit, one line: the station formats it and queues it; the writer thread writes each line
// with a single fwrite and flushes, so lines of stations ending at once never interleave.
#include "json_lines_sink.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>

namespace qrx::tools {
namespace {

const char *VerdictText(store::UnitVerdict verdict) {
  switch (verdict) {
  case store::UnitVerdict::Pass: return "pass";
  case store::UnitVerdict::Fail: return "fail";
  case store::UnitVerdict::Incomplete: break;
  }
  return "incomplete";
}

nlohmann::json Number(const std::optional<double> &value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

} // namespace

JsonLinesSink::JsonLinesSink(const std::string &path) {
  file_ = std::fopen(path.c_str(), "ab");
  if (!file_) {
    error_ = path + ": " + std::strerror(errno);
    return;
  }
  writer_ = std::thread(&JsonLinesSink::WriteLines, this);
}

JsonLinesSink::~JsonLinesSink() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    closing_ = true;
  }
  queued_.notify_all();
  if (writer_.joinable()) writer_.join();
  if (file_) std::fclose(file_);
}

void JsonLinesSink::WriteLines() {
  std::unique_lock<std::mutex> lock(lock_);
  for (;;) {
    queued_.wait(lock, [&] { return closing_ || !lines_.empty(); });
    if (lines_.empty()) return; // closing, and everything written
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    lock.unlock();
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
    lock.lock();
  }
}

std::string JsonLinesSink::ToJsonLine(const store::UnitRecord &u) {
  using nlohmann::json;
  json steps = json::array(), items = json::array(), identities = json::array(),
       downloads = json::array();
  for (const store::StepRecord &s : u.steps)
    steps.push_back({{"index", s.index}, {"export", s.exportName}, {"arguments", s.arguments},
                     {"result", s.result}, {"passed", s.passed}, {"startedUs", s.startedUs},
                     {"durationUs", s.durationUs}});
  for (const store::TestItemRecord &i : u.items)
    items.push_back({{"step", i.stepIndex}, {"source", i.source}, {"name", i.name},
                     {"value", i.value}, {"lower", i.lower}, {"upper", i.upper},
                     {"valueNumber", Number(i.valueNumber)}, {"lowerNumber", Number(i.lowerNumber)},
                     {"upperNumber", Number(i.upperNumber)}, {"verdict", i.verdict},
                     {"passed", i.passed}, {"tag", i.tag}, {"monotonicNs", i.monotonicNs},
                     {"wallUs", i.wallUs}});
  for (const store::IdentityRecord &i : u.identities)
    identities.push_back({{"step", i.stepIndex}, {"kind", i.kind}, {"value", i.value},
                          {"action", i.action}, {"result", i.result}, {"fromPool", i.fromPool},
                          {"wallUs", i.wallUs}});
  for (const store::DownloadRecord &d : u.downloads)
    downloads.push_back({{"step", d.stepIndex}, {"image", d.image}, {"success", d.success},
                         {"outcome", d.outcome}, {"durationUs", d.durationUs}});
  json unit = {{"unitId", u.unitId},
               {"serialNumber", u.serialNumber},
               {"productType", u.productType},
               {"businessConfig", u.businessConfig},
               {"station", u.stationIndex},
               {"threadIndex", u.threadIndex},
               {"hostName", u.hostName},
               {"sequenceFile", u.sequenceFile},
               {"sequenceSha256", u.sequenceHash},
               {"startedUs", u.startedUs},
               {"endedUs", u.endedUs},
               {"verdict", VerdictText(u.verdict)},
               {"firstFailingStep", u.firstFailingStep},
               {"failureReason", u.failureReason},
               {"steps", steps},
               {"items", items},
               {"identities", identities},
               {"downloads", downloads}};
  // Texts that are not valid UTF-8 (a device answering garbage) are kept, replaced where bad.
  return unit.dump(-1, ' ', false, json::error_handler_t::replace);
}

void JsonLinesSink::EndUnit(const store::UnitRecord &unit) {
  if (!file_) return;
  std::string line = ToJsonLine(unit) + "\n";
  {
    std::lock_guard<std::mutex> hold(lock_);
    lines_.push_back(std::move(line));
  }
  queued_.notify_one();
}

} // namespace qrx::tools
