// Thin helpers over the hub's interfaces; every pointer the hub returns is checked, since
// a station may lack a service.
#include "sim_hub.h"

#include <cstdlib>
#include <sstream>

namespace qrx::sim {

SimHub::SimHub(ITestTools *hub, std::string source) : hub_(hub), source_(std::move(source)) {}

std::optional<std::string> SimHub::Input(const std::string &section,
                                         const std::string &key) const {
  if (!hub_) return std::nullopt;
  ISettingService *settings = hub_->GetSettingService();
  if (!settings) return std::nullopt;
  ISettingFile *common = settings->OpenSettingFile("Common.xml", "BusinessCfg");
  if (!common) return std::nullopt;
  std::string name = common->GetValue(section, key);
  common->Release();
  if (name.empty()) return std::nullopt;
  return Param(name);
}

std::optional<std::string> SimHub::Param(const std::string &name) const {
  if (!hub_) return std::nullopt;
  IDataSet *params = hub_->GetParameterDataSet();
  std::string value;
  if (!params || params->GetString(name, value) != 0) return std::nullopt;
  return value;
}

int SimHub::ThreadIndex() const {
  IDataSet *params = hub_ ? hub_->GetParameterDataSet() : nullptr;
  int index = -1;
  if (params) params->GetInt("ThreadIndex", &index);
  return index;
}

uint64_t SimHub::Seed() const {
  auto seed = Param("SimSeed");
  return seed ? std::strtoull(seed->c_str(), nullptr, 10) : 1;
}

bool SimHub::ShouldFail(const std::string &step, const std::string &item) const {
  auto list = Param("SimFailItems");
  if (!list) return false;
  std::stringstream in(*list);
  std::string name;
  while (std::getline(in, name, ',')) {
    while (!name.empty() && name.front() == ' ') name.erase(name.begin());
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (!name.empty() && (name == step || name == item)) return true;
  }
  return false;
}

void SimHub::SetResult(const std::string &key, const std::string &value) const {
  if (IDataSet *results = hub_ ? hub_->GetResultDataSet() : nullptr)
    results->SetString(key, value);
}

void SimHub::SetResultDouble(const std::string &key, double value) const {
  if (IDataSet *results = hub_ ? hub_->GetResultDataSet() : nullptr)
    results->SetDouble(key, value);
}

std::optional<std::string> SimHub::Result(const std::string &key) const {
  IDataSet *results = hub_ ? hub_->GetResultDataSet() : nullptr;
  std::string value;
  if (!results || results->GetString(key, value) != 0) return std::nullopt;
  return value;
}

void SimHub::Message(const std::string &text, int level) const {
  if (ILogService *log = hub_ ? hub_->GetLogService() : nullptr)
    log->LogMessage(source_, text, level, 0);
}

bool SimHub::Item(const std::string &item, double value, double lower, double upper) const {
  bool passed = value >= lower && value <= upper;
  if (ILogService *log = hub_ ? hub_->GetLogService() : nullptr)
    log->LogTestItem(source_, item, value, upper, lower, passed ? 1 : 0, 0);
  return passed;
}

} // namespace qrx::sim
