// A station hub for driving the simulated test libraries without the interface library:
// data sets, a setting service over in-memory files and a log that keeps every line; and the
// folder of the simulated devices' memory.
#pragma once

#include <qrx/test_tools.h>

#include "../support/environment.h"
#include "../support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qrx::simtest {

class FakeDataSet : public IDataSet {
public:
  std::map<std::string, std::string> values;
  void *Reserved0() override { return nullptr; }
  void Release() override {}
  std::string GetName() override { return ""; }
  void SetBool(const std::string &k, bool v) override { values[k] = v ? "1" : "0"; }
  void SetDouble(const std::string &k, double v) override { values[k] = std::to_string(v); }
  void SetInt(const std::string &k, int v) override { values[k] = std::to_string(v); }
  void SetString(const std::string &k, const std::string &v) override { values[k] = v; }
  int GetBool(const std::string &k, bool *o) override { return Get(k, [&](auto &s) { *o = s == "1"; }); }
  int GetDouble(const std::string &k, double *o) override { return Get(k, [&](auto &s) { *o = std::stod(s); }); }
  int GetInt(const std::string &k, int *o) override { return Get(k, [&](auto &s) { *o = std::stoi(s); }); }
  int GetString(const std::string &k, std::string &io) override {
    auto it = values.find(k);
    if (it == values.end()) return -1;
    if (io == "erase") values.erase(it);
    else io = it->second;
    return 0;
  }
  void AddChild(IDataSet *) override {}
  int AddRef() override { return 1; }

private:
  template <typename F> int Get(const std::string &k, F f) {
    auto it = values.find(k);
    if (it == values.end()) return -1;
    try { f(it->second); } catch (...) {}
    return 0;
  }
};

using Sections = std::map<std::string, std::map<std::string, std::string>>;

class FakeSettingFile final : public ISettingFile {
public:
  explicit FakeSettingFile(const Sections &s) : sections_(s) {}
  void *Reserved0() override { return nullptr; }
  void Release() override { delete this; }
  CString GetPath() override { return ""; }
  void GetBool(const CString &, const CString &, bool *) override {}
  void GetInt(const CString &, const CString &, int *) override {}
  void GetString(const CString &s, const CString &k, CString *o) override { *o = GetValue(s, k); }
  CString GetValue(const CString &s, const CString &k) override {
    auto si = sections_.find(s);
    if (si == sections_.end()) return "";
    auto ki = si->second.find(k);
    return ki == si->second.end() ? "" : ki->second;
  }
  int SetBool(const CString &, const CString &, bool) override { return -1; }
  int SetInt(const CString &, const CString &, int) override { return -1; }
  int SetValue(const CString &, const CString &, const CString &) override { return -1; }
  int GetBoolAttribute(CString, CString, CString, bool *) override { return 0; }
  int GetIntAttribute(CString, CString, CString, int *) override { return 0; }
  int GetAttributeTo(CString, CString, CString, CString *) override { return 0; }
  CString GetAttribute(CString, CString, CString) override { return ""; }
  int SetBoolAttribute(CString, CString, CString, bool) override { return -1; }
  int SetIntAttribute(CString, CString, CString, int) override { return -1; }
  int SetAttribute(CString, CString, CString, CString) override { return -1; }

private:
  virtual ~FakeSettingFile() = default;
  Sections sections_;
};

class FakeSettingService : public ISettingService {
public:
  std::map<std::string, Sections> files;
  void *Reserved0() override { return nullptr; }
  void Release() override {}
  ISettingFile *OpenSettingFile(const CString &name, const CString &) override {
    return new FakeSettingFile(files[name]);
  }
  int Reserved3() override { return -1; }
  int Reserved4() override { return -1; }
};

struct LoggedItem {
  std::string item;
  double value, upper, lower;
  bool passed;
};

class FakeLog : public ILogService {
public:
  std::vector<LoggedItem> items;
  std::vector<std::string> messages;
  void *Reserved0() override { return nullptr; }
  void Release() override {}
  int Reserved2(int) override { return 0; }
  int Reserved3() override { return 0; }
  int LogTestItem(std::string, std::string i, int v, double u, double l, int p, int) override { return Add(i, v, u, l, p); }
  int LogTestItem(std::string, std::string i, double v, int u, int l, int p, int) override { return Add(i, v, u, l, p); }
  int LogTestItem(std::string, std::string i, double v, double u, double l, int p, int) override { return Add(i, v, u, l, p); }
  int LogTestItem(std::string, std::string i, int v, int u, int l, int p, int) override { return Add(i, v, u, l, p); }
  int LogTestItem(std::string, std::string, std::string, std::string, std::string, std::string, int) override { return 0; }
  int LogMessage(std::string, std::string text, int, int) override { messages.push_back(text); return 0; }
  int Write(std::string, int, int, int, std::string, int) override { return 0; }
  int Reserved11(int) override { return 0; }
  int Reserved12(int) override { return 0; }
  int Reserved13(int) override { return 0; }
  int Reserved14(std::string, int) override { return 0; }
  int Reserved15(std::string, int) override { return 0; }
  int Reserved16(int) override { return 2; }

private:
  int Add(const std::string &i, double v, double u, double l, int p) {
    items.push_back({i, v, u, l, p != 0});
    return 0;
  }
};

class FakeHub : public ITestTools {
public:
  FakeDataSet params, results;
  FakeSettingService settings;
  FakeLog log;
  std::vector<std::string> promptAnswers; // empty: the operator cancels
  std::vector<std::string> prompts;

  void *Reserved0() override { return nullptr; }
  void Release() override {}
  IDataSet *GetParameterDataSet() override { return &params; }
  IDataSet *GetResultDataSet() override { return &results; }
  ILogService *GetLogService() override { return &log; }
  ILocaleService *GetLocaleService() override { return nullptr; }
  IAccountService *GetAccountService() override { return nullptr; }
  ISettingService *GetSettingService() override { return &settings; }
  void *Reserved8() override { return nullptr; }
  void *Reserved9() override { return nullptr; }
  void *Reserved10() override { return nullptr; }
  IInstrumentDetectService *GetInstrumentDetectService() override { return nullptr; }
  int InputSerialNumber(std::string *out) override {
    std::string p = "^.+$";
    return InputSerialNumberMatching(out, &p);
  }
  HWND GetParentWindow() override { return nullptr; }
  void *Reserved14() override { return nullptr; }
  IPackageManagerService *GetPackageManagerService() override { return nullptr; }
  void *Reserved16() override { return nullptr; }
  int InputSerialNumberMatching(std::string *out, const std::string *pattern) override {
    prompts.push_back(*pattern);
    if (promptAnswers.empty()) return -1;
    *out = promptAnswers.front();
    promptAnswers.erase(promptAnswers.begin());
    return 0;
  }
  int Reserved18(int, int, int, int) override { return 0; }
  int RegisterLogObserver(ILogObserver *) override { return 0; }
  int UnregisterLogObserver(ILogObserver *) override { return 0; }

  // Stages value for section/key the way the interface library does, under name.
  void Stage(const std::string &section, const std::string &key, const std::string &value) {
    std::string name = section + "_" + key;
    settings.files["Common.xml"][section][key] = name;
    params.values[name] = value;
  }
};

// Every test works on its own device files: a fresh folder named by QRX_SIM_STATE_DIR.
class StateFolder : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = std::make_unique<test::TempFolder>("sim");
    dir_ = folder_->Root();
    test::SetEnvironment("QRX_SIM_STATE_DIR", dir_.string());
  }
  void TearDown() override { folder_.reset(); }
  std::unique_ptr<test::TempFolder> folder_;
  std::filesystem::path dir_;
};

} // namespace qrx::simtest
