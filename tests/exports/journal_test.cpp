// The station journal as a deployment sees it: the events and unit boundaries of a small run,
// rotation and retention, a deployment without Recording.xml, and a folder that cannot be
// created or fills up.
#include "export_deployment.h"
#include "../services/recording_observer.h"
#include "hub/qrx_test_tools.h"
#include "interface/station_context.h"
#include "journal/journal_format.h"
#include "platform/mapped_append_file.h"
#include "platform/process.h"

#include <qrx/host_events.h>
#include <qrx/log_service.h>
#include <qrx/qrx_interface.h>
#include <qrx/test_tools.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace qrx::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// The fields of line that want names have the values it gives.
void ExpectFields(const json &line, const json &want) {
  json picked = json::object();
  for (const auto &[key, value] : want.items()) picked[key] = line.value(key, json());
  EXPECT_EQ(picked, want);
}

class Journal : public ::testing::Test {
protected:
  void Record(const std::string &extra = "") {
    std::ofstream(deployment_.Root() / "BusinessCfg" / "Recording.xml")
        << "<Recording><Journal><Folder>Journal</Folder>" + extra + "</Journal></Recording>";
  }
  fs::path Folder() const { return deployment_.Root() / "Journal"; }
  // Every journal file in name order (start time, then rotation), each as its parsed lines.
  std::vector<std::vector<json>> Files() const {
    std::multimap<std::pair<int64_t, int64_t>, fs::path> paths;
    for (const auto &entry : fs::directory_iterator(Folder()))
      if (const auto name = journal::ParseJournalFileName(entry.path().filename().string()))
        paths.emplace(std::make_pair(name->startUs, name->seq), entry.path());
    std::vector<std::vector<json>> files;
    for (const auto &[order, path] : paths) {
      std::ifstream in(path);
      files.emplace_back();
      for (std::string line; std::getline(in, line);) files.back().push_back(json::parse(line));
    }
    return files;
  }
  std::vector<json> Events() const {
    std::vector<json> all;
    for (const auto &file : Files()) all.insert(all.end(), file.begin(), file.end());
    return all;
  }
  // A small run of a host that says nothing about units; the results of its calls.
  std::vector<int> SmallRun(RecordingObserver *observer) {
    std::vector<int> r;
    r.push_back(InitQRXInterface(5, "Station.xml", "QRX"));
    r.push_back(RegisterObserver(observer));
    StationContext s;
    IDataSet *p = FindStation(&s) ? s.testTools->GetParameterDataSet() : nullptr;
    char buffer[QRX_READBACK_BUFFER_SIZE] = {};
    r.push_back(Init_TestInterface());                 // unit 1 begins
    p->SetString("Recorder.LogItem", "Power");
    r.push_back(GSM_NST_MeasPower(1, 62, -5));         // one test item
    std::string erase = "erase";
    p->GetString("Recorder.LogItem", erase);
    p->SetString("Recorder.Sn", "SN-A");
    r.push_back(Check_SN(buffer));                     // names unit 1
    p->SetInt("Recorder.Return", 3);
    r.push_back(Init_TestComPort());                   // a failing step
    p->SetInt("Recorder.Return", 0);
    p->SetString("Recorder.Sn", "SN-B");
    r.push_back(CheckBarcode_GSMFT(buffer));           // another serial: unit 2
    r.push_back(Init_TestInterface());
    r.push_back(WriteSN("SN-B", 0));                    // the plug-in reads back nothing
    r.push_back(Init_TestInterface());                 // sequence again: unit 3
    r.push_back(CleanUpQRXInterface());                // ends unit 3
    return r;
  }

  ExportDeployment deployment_{QRX_RECORDING_LIBRARY};
};

// The same run without Recording.xml, then with it: the journal is all that recording adds.
TEST_F(Journal, SmallRunRecordsItsEventsAndUnitsAndNothingElse) {
  RecordingObserver quiet, observer;
  auto tree = [&] {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(deployment_.Root()))
      files[entry.path().string()] = entry.is_regular_file() ? ReadBytes(entry.path()) : "";
    return files;
  };
  const std::vector<int> without = SmallRun(&quiet);
  EXPECT_EQ(without, (std::vector<int>{0, 0, 0, 0, 0, 3, 0, 0, 1, 0, 0}));
  const std::map<std::string, std::string> before = tree();
  EXPECT_FALSE(fs::exists(Folder()));
  Record();
  EXPECT_EQ(SmallRun(&observer), without);
  EXPECT_EQ(observer.heard, quiet.heard);
  std::map<std::string, std::string> after = tree();
  std::erase_if(after, [](const auto &f) {
    return f.first.find("Journal") != std::string::npos || f.first.ends_with("Recording.xml");
  });
  EXPECT_EQ(after, before);

  const std::vector<std::vector<json>> files = Files();
  ASSERT_EQ(files.size(), 1u);
  const std::vector<json> &e = files[0];
  std::vector<std::string> types;
  for (size_t i = 0; i < e.size(); ++i) {
    ExpectFields(e[i], {{"v", 1}, {"seq", i}, {"thread", 5}});
    types.push_back(e[i]["type"]);
  }
  EXPECT_EQ(types, (std::vector<std::string>{
                       "station_start", "call", "unit_begin", "call", "item", "call", "call",
                       "call", "unit_end", "unit_begin", "call", "call", "identity", "identity",
                       "identity", "call", "unit_end", "unit_begin", "call", "unit_end",
                       "station_end"}));
  ExpectFields(e[0], {{"result", 0}, {"productType", "QRX"}, {"journalFormat", 1}});
  EXPECT_FALSE(e[1].contains("unit")) << "observer registration belongs to no unit";
  EXPECT_EQ(e[2]["reason"], "first_call");
  const std::string unit1 = e[2]["unit"];
  EXPECT_EQ(e[3]["unit"], unit1);
  ExpectFields(e[4], {{"name", "Power"}, {"valueNumber", 37}, {"upperNumber", 40}});
  EXPECT_EQ(e[5]["args"], json::array({"1", "62", "-5"}));
  EXPECT_EQ(e[6]["readBack"]["Sn"], "SN-A");
  ExpectFields(e[7], {{"result", 3}, {"passed", false}});
  // The barcode of another unit ends the first before its own event.
  ExpectFields(e[8], {{"unit", unit1}, {"serial", "SN-A"}, {"verdict", "fail"}, {"inferred", true},
                      {"reason", "named_other"}, {"firstFailingCall", 7}});
  ExpectFields(e[9], {{"serial", "SN-B"}, {"reason", "named"}});
  EXPECT_NE(e[9]["unit"], unit1);
  EXPECT_EQ(e[10]["unit"], e[9]["unit"]);
  EXPECT_EQ(e[10]["name"], "CheckBarcode_GSMFT");
  // WriteSN: both read-backs compared with what was written, then the write itself.
  ExpectFields(e[12], {{"op", "compare"}, {"expected", "SN-B"}, {"passed", false}});
  ExpectFields(e[14], {{"op", "write"}, {"value", "SN-B"}});
  ExpectFields(e[16], {{"reason", "restarted"}, {"verdict", "fail"}});
  ExpectFields(e[17], {{"reason", "first_call"}});
  ExpectFields(e[19], {{"reason", "station_end"}, {"verdict", "pass"}});

  // A host that says where units are: its word, and no unit begins by itself any more.
  ASSERT_EQ(InitQRXInterface(5, "Station.xml", "QRX"), 0);
  EXPECT_EQ(Init_TestInterface(), 0);
  EXPECT_EQ(QRX_BeginUnit("HOST-1"), 0);
  char id[37], shortBuffer[36];
  EXPECT_EQ(QRX_GetUnitId(shortBuffer, sizeof shortBuffer), 3);
  ASSERT_EQ(QRX_GetUnitId(id, sizeof id), 0);
  EXPECT_EQ(Init_TestInterface(), 0);
  EXPECT_EQ(Init_TestInterface(), 0) << "no restart inside the host's unit";
  EXPECT_EQ(QRX_EndUnit(0), 0);
  EXPECT_EQ(QRX_GetUnitId(shortBuffer, sizeof shortBuffer), 2) << "between units";
  EXPECT_STREQ(shortBuffer, "");
  EXPECT_EQ(Init_TestInterface(), 0);
  EXPECT_EQ(CleanUpQRXInterface(), 0);
  EXPECT_EQ(QRX_EndUnit(0), 1) << "no station";
  EXPECT_EQ(QRX_GetUnitId(shortBuffer, sizeof shortBuffer), 1) << "no station";
  std::vector<json> units;
  for (const json &line : Events())
    if (line["type"] == "unit_begin" || line["type"] == "unit_end") units.push_back(line);
  ASSERT_EQ(units.size(), 10u);
  ExpectFields(units[7], {{"reason", "host"}, {"inferred", true}});
  ExpectFields(units[8], {{"explicit", true}, {"serial", "HOST-1"}});
  EXPECT_EQ(units[8]["unit"], std::string(id, 36)) << "the id the host was told";
  ExpectFields(units[9], {{"reason", "host"}, {"inferred", false}});
  EXPECT_FALSE(Events().back().contains("unit") || Events()[Events().size() - 2].contains("unit"));
}

TEST_F(Journal, StationsOnTheirOwnThreadsWriteTheirOwnFiles) {
  Record();
  std::mutex lifecycle; // stations start and end one at a time, as the registry wants
  std::vector<std::thread> stations;
  for (int ti = 0; ti < 3; ++ti)
    stations.emplace_back([&, ti] {
      {
        std::lock_guard<std::mutex> hold(lifecycle);
        ASSERT_EQ(InitQRXInterface(ti, "Station.xml", "QRX"), 0);
      }
      for (int i = 0; i < 50; ++i) EXPECT_EQ(GSM_NST_MeasPower(ti, i, 5), 0);
      std::lock_guard<std::mutex> hold(lifecycle);
      CleanUpQRXInterface();
    });
  for (std::thread &t : stations) t.join();
  const auto files = Files();
  ASSERT_EQ(files.size(), 3u);
  for (const auto &file : files) {
    EXPECT_EQ(file.size(), 54u); // start, unit begin, 50 calls, unit end, end
    for (size_t i = 0; i < file.size(); ++i) {
      ExpectFields(file[i], {{"seq", i}, {"thread", file[0]["thread"]}});
      EXPECT_TRUE(file[i]["type"] != "call" ||
                  file[i]["args"][0] == std::to_string(file[0]["thread"].get<int>()));
    }
  }
}

TEST_F(Journal, RotatesAtItsBoundAndKeepsTheFolderWithinItsOwn) {
  Record("<MaxFileBytes>3000</MaxFileBytes><MaxFolderBytes>12000</MaxFolderBytes>");
  fs::create_directories(Folder());
  const std::string closed = "{\"v\":1,\"seq\":0,\"type\":\"station_end\"}\n";
  auto old = [&](const std::string &name, const std::string &last) {
    std::ofstream(Folder() / name) << std::string(4000, ' ') << "\n" << last;
  };
  old("pc-1-0-100-0.jsonl", closed);        // recorded: goes first
  std::ofstream(Folder() / "pc-1-0-100-0.jsonl.done");
  old("pc-1-0-50-0.jsonl", "{\"type\":\"call\"}\n"); // still open: stays
  old("pc-1-0-200-0.jsonl", closed);        // not recorded: goes only when still too large
  int64_t dead = 4'000'037; // a host of this machine killed mid-unit: finished
  while (platform::ProcessRunning(dead)) dead += 4;
  const std::string killed = journal::SanitizedMachineName(platform::MachineName()) + "-" +
                             std::to_string(dead) + "-0-60-0.jsonl";
  old(killed, "{\"type\":\"call\"}\n" + std::string(3000, '\0')); // its zero tail stays
  ASSERT_EQ(InitQRXInterface(5, "Station.xml", "QRX"), 0);
  for (int i = 0; i < 60; ++i) ASSERT_EQ(GSM_NST_MeasPower(1, i, 5), 0);
  // An event larger than a whole file (and the part allocated ahead) goes whole into one.
  const std::string large(5000, 'L');
  StationContext s;
  ASSERT_TRUE(FindStation(&s));
  s.testTools->GetLogService()->LogMessage("test", large, 3, 0);
  ASSERT_EQ(GSM_NST_MeasPower(1, 99, 5), 0);
  ASSERT_EQ(CleanUpQRXInterface(), 0);

  EXPECT_FALSE(fs::exists(Folder() / "pc-1-0-100-0.jsonl"));
  EXPECT_FALSE(fs::exists(Folder() / "pc-1-0-100-0.jsonl.done"));
  EXPECT_TRUE(fs::exists(Folder() / "pc-1-0-50-0.jsonl"));
  EXPECT_FALSE(fs::exists(Folder() / killed));
  uintmax_t total = 0;
  for (const auto &entry : fs::directory_iterator(Folder())) total += entry.file_size();
  EXPECT_LE(total, 12000u + 3000u);
  // The station's own files: each from seq 0, each but the last ending with its successor.
  fs::remove(Folder() / "pc-1-0-50-0.jsonl");
  fs::remove(Folder() / "pc-1-0-200-0.jsonl");
  const auto files = Files();
  ASSERT_GE(files.size(), 2u);
  for (size_t f = 0; f < files.size(); ++f) {
    EXPECT_EQ(files[f].front()["seq"], 0);
    EXPECT_EQ(files[f].back()["type"], f + 1 < files.size() ? "rotated" : "station_end");
  }
  const std::vector<json> &alone = files[files.size() - 2];
  ASSERT_EQ(alone.size(), 2u);
  EXPECT_EQ(alone[0]["text"], large);
}

TEST_F(Journal, AFolderThatCannotBeWrittenIsToldOnceAndRequiredRefusesTheStation) {
  Record();
  std::ofstream(Folder()) << "a file where the folder should be";
  RecordingObserver observer;
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(InitQRXInterface(5, "Station.xml", "QRX"), 0);
  RegisterObserver(&observer);
  EXPECT_EQ(Init_TestInterface(), 0);
  EXPECT_EQ(Init_TestInterface(), 0);
  CleanUpQRXInterface();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("cannot create the journal folder"), std::string::npos) << err;
  ASSERT_EQ(observer.heard.size(), 1u);
  EXPECT_NE(observer.heard[0].line.find("goes on testing"), std::string::npos);

  static std::vector<std::string> boxes;
  QRX_SetMessageBoxHandler([](void *, const char *, const char *text) { boxes.push_back(text); },
                           nullptr);
  Record("<Required>1</Required>");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(InitQRXInterface(5, "Station.xml", "QRX"), 1);
  ::testing::internal::GetCapturedStderr();
  QRX_SetMessageBoxHandler(nullptr, nullptr);
  StationContext s;
  EXPECT_FALSE(FindStation(&s));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Recording.xml requires a journal"), std::string::npos);
}

// A fast writer's windows lie in large pages, aligned but where the file was opened.
TEST_F(Journal, AFastWriterKeepsEveryByteAcrossItsWindowsAndAReopening) {
  const fs::path path = deployment_.Root() / "fast.jsonl";
  std::string want;
  platform::MappedAppendFile file;
  for (size_t bytes : {3u << 20, 7u << 20}) {
    ASSERT_TRUE(file.Open(path.string(), nullptr));
    for (int i = 0; want.size() < bytes; ++i) {
      const std::string line = std::to_string(i) + std::string(i % 700, 'a' + i % 26) + "\n";
      ASSERT_TRUE(file.Append(line, nullptr));
      want += line;
    }
    file.Close();
  }
  EXPECT_TRUE(ReadBytes(path) == want);
}

#ifndef _WIN32
TEST_F(Journal, AFullDiskLosesNoWholeLineAndTheJournalSaysWhatIsMissing) {
  Record();
  const pid_t child = ::fork();
  if (child == 0) {
    // Just room for the start: every later line meets the file-size limit.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1200, RLIM_INFINITY};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::testing::internal::CaptureStderr();
    int bad = InitQRXInterface(5, "Station.xml", "QRX");
    for (int i = 0; i < 20; ++i) bad |= GSM_NST_MeasPower(1, i, 5);
    limit.rlim_cur = RLIM_INFINITY;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    bad |= GSM_NST_MeasPower(1, 99, 5);
    bad |= CleanUpQRXInterface();
    const std::string err = ::testing::internal::GetCapturedStderr();
    ::_exit(bad != 0 ? 1 : std::count(err.begin(), err.end(), '\n') != 1 ? 2 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "every call answered, the problem told once";
  const std::vector<json> e = Events(); // each line parses: nothing torn
  ASSERT_GE(e.size(), 4u);
  EXPECT_EQ(e.front()["type"], "station_start");
  bool problem = false;
  for (size_t i = 0; i < e.size(); ++i) {
    EXPECT_EQ(e[i]["seq"], i);
    if (e[i]["type"] != "journal_problem") continue;
    problem = true;
    EXPECT_NE(e[i]["text"].get<std::string>().find(" events could not be written"), std::string::npos);
    EXPECT_EQ(e[i + 1]["args"][1], "99");
  }
  EXPECT_TRUE(problem);
}
#endif

} // namespace
} // namespace qrx::test
