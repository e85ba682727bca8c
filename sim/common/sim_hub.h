// How a simulated test library sees its station: staged inputs looked up through
// BusinessCfg/Common.xml, station settings, the result data set and the log service,
// all reached through the hub handed to every library function.
#pragma once

#include <qrx/test_tools.h>

#include <optional>
#include <string>
#include <vector>

namespace qrx::sim {

class SimHub {
public:
  SimHub(ITestTools *hub, std::string source);

  bool Valid() const { return hub_ != nullptr; }
  ITestTools *Hub() const { return hub_; }

  // Staged export argument: the parameter data set entry whose name Common.xml gives for
  // section/key. Empty optional when there is no mapping or nothing was staged.
  std::optional<std::string> Input(const std::string &section, const std::string &key) const;
  // Any parameter data set entry (station settings from CommonConfig/SpecialSettings).
  std::optional<std::string> Param(const std::string &name) const;
  int ThreadIndex() const;
  uint64_t Seed() const;
  // True when the station's "SimFailItems" list (comma separated) names item or step.
  bool ShouldFail(const std::string &step, const std::string &item) const;

  void SetResult(const std::string &key, const std::string &value) const;
  void SetResultDouble(const std::string &key, double value) const;
  std::optional<std::string> Result(const std::string &key) const;

  void Message(const std::string &text, int level = 1) const;
  // One test-item record; returns passed.
  bool Item(const std::string &item, double value, double lower, double upper) const;

private:
  ITestTools *hub_;
  std::string source_;
};

} // namespace qrx::sim
