// Writes station journals as the library does, line by line, for collector tests and the
// ingest benchmark: a deployment folder with Recording.xml and runs of units.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <fstream>
#include <string>

namespace qrx::testing {

// DIR/BusinessCfg/Recording.xml naming the folder "Journal".
void WriteRecordingSettings(const std::string &deploymentDir);

class JournalScript {
public:
  JournalScript(std::string folder, std::string machine, int64_t pid, int thread);
  // One event: v, seq, wallUs, monoNs, thread and the open unit are added.
  void Event(nlohmann::json event);
  void Raw(const std::string &bytes); // bytes as they are (a torn line)
  void StationStart();
  void StationEnd();
  // A unit: begin, an init call, items (the last fails when !pass), an SN written, end. With
  // end=false it stays open. Returns its unit id.
  std::string Unit(const std::string &serial, int items, bool pass, bool end = true);
  void EndUnit(const std::string &serial); // ends an open unit, passed
  void Rotate(); // "rotated", then the next file
  void Flush() { out_.flush(); }
  std::string FileName() const;

private:
  void Open();
  std::string folder_, machine_;
  int64_t pid_, startUs_, fileSeq_ = 0, seq_ = 0;
  int thread_;
  std::string unit_;
  std::ofstream out_;
};

} // namespace qrx::testing
