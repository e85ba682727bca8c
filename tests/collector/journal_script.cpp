// Journal lines for tests and benchmarks.
#include "journal_script.h"

#include "journal/journal_format.h"
#include "unit_samples.h"

#include <chrono>
#include <filesystem>

namespace qrx::testing {

void WriteRecordingSettings(const std::string &deploymentDir) {
  std::filesystem::create_directories(deploymentDir + "/BusinessCfg");
  std::ofstream(deploymentDir + "/BusinessCfg/Recording.xml")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Recording><Journal><Folder>Journal"
         "</Folder></Journal></Recording>\n";
}

JournalScript::JournalScript(std::string folder, std::string machine, int64_t pid, int thread)
    : folder_(std::move(folder)), machine_(std::move(machine)), pid_(pid),
      startUs_(WallNowUs()), thread_(thread) {
  std::filesystem::create_directories(folder_);
  Open();
}

std::string JournalScript::FileName() const {
  return journal::FormatJournalFileName({machine_, pid_, thread_, startUs_, fileSeq_});
}

void JournalScript::Open() {
  out_.close();
  out_.open(folder_ + "/" + FileName(), std::ios::binary | std::ios::app);
  seq_ = 0;
}

void JournalScript::Event(nlohmann::json event) {
  event["v"] = journal::kJournalFormatVersion;
  event["seq"] = seq_++;
  event["wallUs"] = WallNowUs();
  event["monoNs"] = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
  event["thread"] = thread_;
  if (!unit_.empty() && !event.contains("unit"))
    event["unit"] = unit_;
  out_ << event.dump() << '\n';
}

void JournalScript::Raw(const std::string &bytes) {
  out_ << bytes;
  out_.flush();
}

void JournalScript::StationStart() {
  Event({{"type", "station_start"}, {"productType", "QRX"}, {"businessConfig", "Phone.xml"},
         {"hostProcess", "c_host"}, {"hostPid", pid_}, {"machine", machine_},
         {"libraryVersion", "test"}, {"result", 0}, {"journalFormat", 1}});
}

void JournalScript::StationEnd() { Event({{"type", "station_end"}, {"result", 0}}); }

std::string JournalScript::Unit(const std::string &serial, int items, bool pass, bool end) {
  unit_ = NewUnitId();
  Event({{"type", "unit_begin"}, {"serial", ""}, {"explicit", false}, {"reason", "first_call"}});
  Event({{"type", "call"}, {"name", "Init_TestInterface"}, {"args", nlohmann::json::array()},
         {"result", 0}, {"durationUs", 120}, {"readBack", nlohmann::json::object()},
         {"passed", true}});
  int64_t failingCall = -1;
  for (int i = 0; i < items; ++i) {
    const bool ok = pass || i + 1 < items;
    Event({{"type", "item"}, {"source", "GsmFt"}, {"name", "TxPower" + std::to_string(i)},
           {"value", ok ? "31.5" : "35.0"}, {"lower", "30"}, {"upper", "33"},
           {"verdict", ok ? "PASS" : "FAIL"}, {"passed", ok}, {"tag", "0"},
           {"valueNumber", ok ? 31.5 : 35.0}, {"lowerNumber", 30}, {"upperNumber", 33}});
  }
  if (!pass)
    failingCall = seq_;
  Event({{"type", "call"}, {"name", "GSM_NST_MeasPower"}, {"args", {"1", "62", "5"}},
         {"result", pass ? 0 : 7}, {"durationUs", 3000}, {"readBack", nlohmann::json::object()},
         {"passed", pass}});
  Event({{"type", "identity"}, {"kind", "sn"}, {"op", "write"}, {"value", serial},
         {"result", 0}, {"passed", true}});
  Event({{"type", "call"}, {"name", "WriteSN"}, {"args", {serial}}, {"result", 0},
         {"durationUs", 500}, {"readBack", nlohmann::json::object()}, {"passed", true}});
  const std::string id = unit_;
  if (end) {
    Event({{"type", "unit_end"}, {"serial", serial}, {"verdict", pass ? "pass" : "fail"},
           {"inferred", true}, {"reason", "named_other"}, {"firstFailingCall", failingCall}});
    unit_.clear();
  }
  return id;
}

void JournalScript::EndUnit(const std::string &serial) {
  Event({{"type", "unit_end"}, {"serial", serial}, {"verdict", "pass"}, {"inferred", true},
         {"reason", "station_end"}, {"firstFailingCall", -1}});
  unit_.clear();
}

void JournalScript::Rotate() {
  const std::string next =
      journal::FormatJournalFileName({machine_, pid_, thread_, startUs_, fileSeq_ + 1});
  Event({{"type", "rotated"}, {"next", next}});
  ++fileSeq_;
  Open();
}

} // namespace qrx::testing
