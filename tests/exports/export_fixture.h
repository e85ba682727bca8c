// The station the export tests drive: a deployment of the recording test library, a station
// on the test's thread, typed arguments for any catalogue row, and the recorder's account of
// what the library saw.
#pragma once

#include "export_call.h"
#include "export_deployment.h"
#include "hub/qrx_test_tools.h"
#include "interface/station_registry.h"
#include "platform/thread_id.h"

#include <qrx/qrx_interface.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace qrx::test {

inline int32_t QRX_CALLBACK HostCallback(QRXDownloadEvent) { return 0; }

// One row's arguments with the texts a staging of each is expected to give.
struct RowArguments {
  ExportArguments call;
  std::vector<std::string> texts;       // per position: the staged text of that argument
  std::vector<std::string> storage;     // keeps text arguments alive
  char buffers[kMaxArguments][64] = {}; // text buffers, filled with '#'
  double doubleOut = -777.25;
};

// Distinct values per position; `ints`/`doubles` override every integer/double when given.
struct ValueChoice {
  const int32_t *ints = nullptr;
  const double *doubles = nullptr;
  bool nullTexts = false;
};

inline void MakeArguments(const ExportRow &row, RowArguments *a, ValueChoice choice = {}) {
  a->texts.assign(row.arguments.size(), std::string());
  a->storage.assign(row.arguments.size(), std::string());
  for (size_t i = 0; i < row.arguments.size(); ++i) {
    const int sign = i % 2 ? -1 : 1;
    switch (row.arguments[i]) {
    case argument_type::kInt:
      a->call.ints[i] = choice.ints ? *choice.ints : sign * static_cast<int32_t>(11 * i + 3);
      a->texts[i] = std::to_string(a->call.ints[i]); // "%d"
      break;
    case argument_type::kDouble:
      a->call.doubles[i] = choice.doubles ? *choice.doubles : sign * 1.25 * static_cast<double>(i + 1);
      a->texts[i] = std::to_string(a->call.doubles[i]); // "%f", whatever its length
      break;
    case argument_type::kText:
      a->storage[i] = "text " + std::to_string(i) + " of " + std::string(row.name);
      a->call.texts[i] = choice.nullTexts ? nullptr : a->storage[i].c_str();
      a->texts[i] = choice.nullTexts ? "" : a->storage[i];
      break;
    case argument_type::kTextBuffer:
      std::memset(a->buffers[i], '#', sizeof a->buffers[i] - 1);
      a->call.buffers[i] = a->buffers[i];
      break;
    case argument_type::kDoubleOut:
      a->call.doubleOuts[i] = &a->doubleOut;
      break;
    case argument_type::kCallback:
      a->call.callbacks[i] = &HostCallback;
      break;
    default:
      break;
    }
  }
  // The offset's flag: 1 stages the constant offset.
  if (row.shape == ExportShape::kOptionalOffset) {
    a->call.ints[0] = 1;
    a->texts[0] = "1";
  }
}

// The text staged for `entry` with the arguments `a`.
inline std::string StagedText(const StagedEntry &entry, const RowArguments &a) {
  return entry.argument == 0 ? "0.000000" : a.texts[entry.argument - 1];
}

inline const std::string kUntouched(63, '#');

// The caller's buffers and double are left as they were.
inline void ExpectOutputsUntouched(const ExportRow &row, const RowArguments &a) {
  for (size_t i = 0; i < row.arguments.size(); ++i)
    if (row.arguments[i] == argument_type::kTextBuffer) {
      EXPECT_EQ(std::string(a.buffers[i]), kUntouched) << "buffer " << i + 1;
    }
  EXPECT_EQ(a.doubleOut, -777.25);
}

struct Recorded {
  int calls = 0;
  std::string function;
  std::string library;
  std::map<std::string, std::string> saw; // watched staging name -> text the library found
};

// A station of `productType` on the test's thread over a fresh deployment of `library`.
class ExportStation {
public:
  explicit ExportStation(const std::string &library = QRX_RECORDING_LIBRARY,
                         const char *productType = "UFI")
      : deployment_(library), names_(CatalogueStagingNames()) {
    up_ = InitQRXInterface(kThreadIndex, "Station.xml", productType) == 0 && FindStation(&station_);
    if (!up_) return;
    std::string watch;
    for (const auto &[sk, name] : names_) watch += name + "\n";
    Parameters()->SetString("Recorder.Watch", watch);
  }
  ~ExportStation() { CleanUpQRXInterface(); }

  static constexpr int kThreadIndex = 7;
  bool Up() const { return up_; }
  const StationContext &Station() const { return station_; }
  CQRXTestTools *Hub() const { return station_.testTools; }
  IDataSet *Parameters() const { return station_.testTools->GetParameterDataSet(); }
  IDataSet *Results() const { return station_.testTools->GetResultDataSet(); }
  const ExportDeployment &Deployment() const { return deployment_; }
  const StagingNames &Names() const { return names_; }
  std::string NameOf(const StagedEntry &e) const {
    return names_.at({std::string(e.section), std::string(e.key)});
  }
  // The first `count` entries of `row` under their staging names, with their texts for `a`.
  std::map<std::string, std::string> Staged(const ExportRow &row, const RowArguments &a,
                                            size_t count = kMaxArguments) const {
    std::map<std::string, std::string> staged;
    for (size_t i = 0; i < count && i < row.staged.size(); ++i)
      staged[NameOf(row.staged[i])] = StagedText(row.staged[i], a);
    return staged;
  }

  void Tell(const std::string &key, const std::string &value) const {
    Parameters()->SetString(key, value);
  }
  void Forget(const std::string &key) const { Erase(Parameters(), key); }
  void ReturnFromLibrary(int value) const { Parameters()->SetInt("Recorder.Return", value); }
  void ClearRecord() const { Results()->SetInt("Recorder.Calls", 0); }

  bool HasParameter(const std::string &name) const {
    std::string v;
    return Parameters()->GetString(name, v) == 0;
  }
  std::string Parameter(const std::string &name) const {
    std::string v;
    Parameters()->GetString(name, v);
    return v;
  }
  Recorded Record() const {
    Recorded r;
    Results()->GetInt("Recorder.Calls", &r.calls);
    if (r.calls < 1) return r;
    const std::string prefix = "Recorder.Call1.";
    Results()->GetString(prefix + "Function", r.function);
    Results()->GetString(prefix + "Library", r.library);
    std::istringstream watched(Parameter("Recorder.Watch"));
    for (std::string name, v; std::getline(watched, name);)
      if (Results()->GetString(prefix + "Saw." + name, v) == 0) r.saw[name] = v;
    return r;
  }
  // The staging names (of all in Common.xml) present in the parameter data set now.
  std::map<std::string, std::string> PresentNames() const {
    std::map<std::string, std::string> present;
    for (const auto &[sk, name] : names_)
      if (HasParameter(name)) present[name] = Parameter(name);
    return present;
  }
  void EraseAllNames() const {
    for (const auto &[sk, name] : names_) Erase(Parameters(), name);
  }

  // Rewrites Common.xml: all names, one pair left out, or names changed.
  void WriteCommon(const StagingNames &names) { deployment_.WriteCommon(names); }

  static void Erase(IDataSet *set, const std::string &key) {
    std::string erase = "erase";
    set->GetString(key, erase);
  }

private:
  ExportDeployment deployment_;
  StagingNames names_;
  StationContext station_;
  bool up_ = false;
};

// Replaces one field of the calling thread's registry entry for the guard's lifetime, so a
// station can lack a service or carry a fake manager. The original entry comes back before
// the station is cleaned up, which then destroys only what it made.
class StationFieldSwap {
public:
  explicit StationFieldSwap(const std::function<void(StationContext *)> &change) {
    StationRegistry &registry = StationRegistry::Instance();
    if (!registry.FindByThread(platform::CurrentThreadId(), &saved_, &key_)) return;
    StationContext changed = saved_;
    change(&changed);
    registry.Remove(key_);
    registry.InsertIfAbsent(key_, changed);
    active_ = true;
  }
  ~StationFieldSwap() {
    if (!active_) return;
    StationRegistry::Instance().Remove(key_);
    StationRegistry::Instance().InsertIfAbsent(key_, saved_);
  }
  StationFieldSwap(const StationFieldSwap &) = delete;
  StationFieldSwap &operator=(const StationFieldSwap &) = delete;
  bool Active() const { return active_; }

private:
  StationContext saved_;
  int key_ = 0;
  bool active_ = false;
};

// Nulls the station field of `service`.
inline void (*RemoverOf(ExportService service))(StationContext *) {
  switch (service) {
  case ExportService::kCal: return [](StationContext *c) { c->calService = nullptr; };
  case ExportService::kGsmFt: return [](StationContext *c) { c->gsmFtService = nullptr; };
  case ExportService::kTdFt: return [](StationContext *c) { c->tdFtService = nullptr; };
  case ExportService::kLteFt: return [](StationContext *c) { c->lteFtService = nullptr; };
  case ExportService::kWifi: return [](StationContext *c) { c->wifiService = nullptr; };
  case ExportService::kSnManager: return [](StationContext *c) { c->snManager = nullptr; };
  case ExportService::kDownloadManager:
    return [](StationContext *c) { c->downloadManager = nullptr; };
  case ExportService::kTestTools: return [](StationContext *c) { c->testTools = nullptr; };
  default: return [](StationContext *) {};
  }
}

// Rows that call a test library (every shape but the lifecycle, observer and manager ones).
inline std::vector<size_t> RowsWhere(bool (*keep)(const ExportRow &)) {
  std::vector<size_t> rows;
  for (size_t i = 0; i < kExportCount; ++i)
    if (keep(kExportCatalogue[i])) rows.push_back(i);
  return rows;
}
inline bool CallsLibrary(const ExportRow &row) { return !row.libraryFunction.empty(); }
inline bool Stages(const ExportRow &row) { return !row.staged.empty(); }
inline bool IsManager(const ExportRow &row) { return row.shape == ExportShape::kManager; }

inline std::string RowName(const ::testing::TestParamInfo<size_t> &info) {
  return std::string(kExportCatalogue[info.param].name);
}

} // namespace qrx::test
