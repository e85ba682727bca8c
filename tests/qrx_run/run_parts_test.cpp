// The smaller parts of qrx-run: units as JSON lines, why a step failed, the English
// of the library's texts, the sequence file's hash, the identity arguments of sequences, the
// live page's address and prompt, and the identities of a station's unit and the pool states
// they drive, from reserved to verified.
#include "common/export_catalogue_view.h"
#include "common/sha256.h"
#include "qrx-run/english_texts.h"
#include "qrx-run/json_lines_sink.h"
#include "qrx-run/sequence_parser.h"
#include "qrx-run/station_unit.h"
#include "qrx-run/step_diagnosis.h"
#include "qrx-run/web_line.h"
#include "store/unit_json.h"

#include "../support/temp_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <chrono>
#include <string>
#include <tuple>
#include <thread>
#include <vector>

namespace {

using namespace qrx::tools;
namespace fs = std::filesystem;

// Runs add up: every unit is one whole line appended, a text that is not UTF-8 is kept, and
// the line is what qrx-report reads back.
TEST(JsonLines, UnitsAreAppendedOneWholeRecordPerLine) {
  qrx::test::TempFolder temp("qrx-run");
  const fs::path &dir = temp.Root();
  qrx::store::UnitRecord unit;
  unit.unitId = "u1";
  unit.serialNumber = "SN\xE2\x82\xAC"; // a euro sign, UTF-8
  unit.verdict = qrx::store::UnitVerdict::Fail;
  unit.steps.push_back({0, "GSM_NST_MeasPower", "1, 62, 5", 2, false, 10, 20});
  unit.items.resize(2);
  unit.identities.push_back({0, "imei", "490154203237518", "written", 0, true, 5});
  for (const char *id : {"u1", "u2"}) {
    JsonLinesSink sink((dir / "u.jsonl").string());
    unit.unitId = id;
    sink.EndUnit(unit);
    unit.serialNumber = "bad\xFF";
  }
  std::ifstream in(dir / "u.jsonl");
  std::vector<nlohmann::json> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[1]["unitId"] == "u2" && lines[1]["serialNumber"].get<std::string>().rfind("bad", 0) == 0);
  qrx::store::UnitRecord back;
  std::string error;
  ASSERT_TRUE(qrx::store::UnitFromJson(lines[0], &back, &error)) << error;
  EXPECT_EQ(back.serialNumber, "SN\xE2\x82\xAC");
  EXPECT_EQ(qrx::store::UnitToJson(back), lines[0]);

  JsonLinesSink unwritable((dir / "no" / "such" / "dir.jsonl").string());
  EXPECT_TRUE(!unwritable.Ok() && !unwritable.Error().empty());
}

const ExportRow &Row(const std::string &name) {
  const ExportRow *row = ExportCatalogueView::Find(name);
  EXPECT_NE(row, nullptr) << name;
  return *row;
}

// <BandNumber> does not stand for <Band>; an empty or self-closed key is missing; a key must be
// inside its own section.
TEST(StepDiagnosis, FindsTheMissingStagingNameInCommonXml) {
  const std::pair<const char *, const char *> cases[] = {
      {"<Common><QCal><BandNumber>b</BandNumber><Band>B</Band><Channel> C </Channel><PALevel>P</PALevel></QCal></Common>", ""},
      {"<Common><QCal><BandNumber>b</BandNumber><Channel>C</Channel></QCal></Common>", "QCal/Band"},
      {"<Common><QCal><Band>B</Band><Channel>  </Channel><PALevel>P</PALevel></QCal></Common>", "QCal/Channel"},
      {"<Common><QCal><Band>B</Band><Channel>C</Channel><PALevel/></QCal></Common>", "QCal/PALevel"},
      {"<Common><QCal><Band>B</Band><Channel>C</Channel></QCal><Cal><PALevel>P</PALevel></Cal></Common>", "QCal/PALevel"},
      {"", "QCal/Band"}};
  for (const auto &[xml, missing] : cases)
    EXPECT_EQ(StepDiagnosis::MissingStagingName(Row("GSM_NST_MeasPower"), xml), missing) << xml;
}

TEST(StepDiagnosis, ExplainsOnesAndMinusOnes) {
  qrx::test::TempFolder temp("qrx-run");
  fs::create_directories(temp.Root() / "BusinessCfg");
  temp.Write("BusinessCfg/Common.xml", "<Common><QCal><Band>B</Band><Channel>C</Channel></QCal></Common>");
  const std::string deployment = temp.Root().string() + "/";
  std::string askedFile, askedFunction;
  auto probe = [&](StepDiagnosis::Presence answer) {
    return [&, answer](const std::string &file, const std::string &function) {
      askedFile = file;
      askedFunction = function;
      return answer;
    };
  };
  const auto found = probe(StepDiagnosis::Presence::kFound);
  EXPECT_EQ(StepDiagnosis::Explain(Row("GSM_NST_MeasPower"), 1, "QRX", deployment, found),
            "1: no staging name for QCal/PALevel in BusinessCfg/Common.xml");
  EXPECT_NE(StepDiagnosis::Explain(Row("GSM_NST_MeasPower"), 1, "phone", deployment, found)
                .find("no station (the product type 'phone'"), std::string::npos);
  const ExportRow *wifi = nullptr;
  for (const ExportRow &row : ExportCatalogueView::Rows())
    if (row.service == "wifi") wifi = &row;
  ASSERT_NE(wifi, nullptr);
  EXPECT_NE(StepDiagnosis::Explain(*wifi, 1, "qrx", deployment, found).find("no WiFi"), std::string::npos);
  // Product types are compared without regard to case: a ufi station has the WiFi library.
  EXPECT_EQ(StepDiagnosis::Explain(*wifi, 1, "ufi", deployment, found).find("no WiFi"), std::string::npos);

  const ExportRow &cal = Row("GSM_AFC_Cal");
  EXPECT_EQ(StepDiagnosis::Explain(cal, -1, "QRX", deployment, probe(StepDiagnosis::Presence::kFunctionMissing)),
            "-1: the test library TestDll/TestDllQRXCal.so has no function " + cal.libraryFunction);
  EXPECT_EQ(askedFile, "TestDll/TestDllQRXCal.so");
  EXPECT_EQ(askedFunction, cal.libraryFunction);
  EXPECT_NE(StepDiagnosis::Explain(cal, -1, "QRX", deployment, probe(StepDiagnosis::Presence::kLibraryNotLoaded))
                .find("is not loaded"), std::string::npos);
  fs::remove_all(temp.Root());
  EXPECT_NE(StepDiagnosis::Explain(Row("GSM_NST_MeasPower"), 1, "QRX", deployment, found)
                .find("Common.xml cannot be read"), std::string::npos);
}

TEST(EnglishTexts, LibraryTextsBecomeEnglishAndTheRestStays) {
  const std::pair<const char *, const char *> cases[] = {
      {"测试项目=VSWR\t\t测试数值=1.23\t\t上限=1.50\t\t下限=0.50\t\t测试结果=PASS",
       "item=VSWR\t\tvalue=1.23\t\tupper=1.50\t\tlower=0.50\t\tresult=PASS"},
      {"加载配置文件BusinessCfg/QRX.xml失败", "Loading the configuration file BusinessCfg/QRX.xml failed"},
      {"加载仪表动态库失败!", "Could not load the instrument library!"},
      {"请在脚本界面配置必要的型号机类型，参数名称：PhoneType",
       "Configure the required phone type in the script settings, parameter name: PhoneType"},
      {"VISA library 功率 VISA", "VISA library 功率 VISA"}};
  for (const auto &[text, english] : cases) EXPECT_EQ(EnglishTexts::Translate(text), english);
}

TEST(Sha256, PublishedVectors) {
  EXPECT_EQ(Sha256::Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256::Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256::Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  Sha256 pieces;
  for (const char *piece : {"a", "", "bc"}) pieces.Update(piece);
  EXPECT_EQ(pieces.HexDigest(), Sha256::Hex("abc"));
}

TEST(SequenceIdentities, PoolTokensWhereTextsGoAndTheCatalogueSaysWhichIdentity) {
  std::string error;
  auto seq = SequenceParser::ParseText(
      "WriteIMEI(@imei, 0)\nReadIMEI(out=@imei, 0)\nWriteMAC(@mac)\nWriteSN(@sn, 0)\n"
      "Mode_Select_TDFT(@sn)\n", "p.seq", &error);
  ASSERT_TRUE(seq) << error;
  std::string pools; // any text argument may take a pool value
  for (const auto &step : seq->steps) pools += step.args[0].pool + (step.args[0].expectText ? "(out) " : " ");
  EXPECT_EQ(pools, "imei imei(out) mac sn sn ");
  for (const auto &[line, message] :
       std::vector<std::pair<std::string, std::string>>{
           {"WriteIMEI(@mac, 0)", "p.seq:1: argument 1 of WriteIMEI: WriteIMEI handles the imei, not @mac"},
           {"WriteSN(@bt, 0)", "p.seq:1: argument 1 of WriteSN: unknown identity '@bt'"},
           {"GSM_NST_MeasPower(@sn, 1, 2)", "p.seq:1: argument 1 of GSM_NST_MeasPower must be an integer"}}) {
    EXPECT_FALSE(SequenceParser::ParseText(line + "\n", "p.seq", &error)) << line;
    EXPECT_EQ(error.substr(0, message.size()), message) << error;
  }

  // Test flags, test information and software versions are no identities.
  const std::tuple<const char *, const char *, bool> uses[] = {
      {"WriteSN", "sn", true},          {"ReadIMEI", "imei", false}, {"WritePSN16Bit", "psn16bit", true},
      {"ReadSSID", "ssid", false},      {"WriteFTFlag18G_LTEFT", "", false}, {"ReadTestInfo", "", false},
      {"ReadIntSoftVersion", "", false}, {"GSM_NST_MeasPower", "", false}};
  for (const auto &[name, kind, write] : uses) {
    const auto use = ExportCatalogueView::IdentityOf(Row(name));
    EXPECT_EQ(use ? use->kind : "", kind) << name;
    EXPECT_EQ(use && use->write, write) << name;
  }
  int identities = 0;
  for (const ExportRow &row : ExportCatalogueView::Rows()) identities += ExportCatalogueView::IdentityOf(row) ? 1 : 0;
  EXPECT_EQ(identities, 12); // six identities, each written and read
}

// Pools in memory with the states the store keeps, and the calls in the order they came.
class MemoryPools : public qrx::store::IdentitySource {
public:
  bool Reserve(const std::string &unit, const std::string &kind, std::string *value, std::string *error) override {
    calls.push_back("reserve " + kind);
    if (free[kind].empty()) return *error = "pool " + kind + " is empty", false;
    *value = free[kind].front();
    free[kind].erase(free[kind].begin());
    if (state[*value] != "verified") state[*value] = "reserved", owner[*value] = unit;
    return true;
  }
  bool MarkWritten(const std::string &, const std::string &kind, const std::string &value, std::string *) override {
    return calls.push_back("written " + kind + " " + value), state[value] = "written", true;
  }
  bool MarkVerified(const std::string &, const std::string &kind, const std::string &value, std::string *) override {
    return calls.push_back("verified " + kind + " " + value), state[value] = "verified", true;
  }
  bool MayProgram(const std::string &unit, const std::string &, const std::string &value, std::string *error) override {
    return state[value] == "verified" && owner[value] != unit ? (*error = value + " is verified on another unit", false)
                                                               : true;
  }
  void EndUnit(const std::string &unit, bool passed) override {
    calls.push_back(std::string("end ") + (passed ? "pass" : "fail"));
    for (auto &[value, s] : state)
      if (owner[value] == unit && (s == "reserved" || (s == "written" && !passed))) s = s == "reserved" ? "free" : "burned";
  }
  std::map<std::string, std::vector<std::string>> free;
  std::map<std::string, std::string> state, owner;
  std::vector<std::string> calls;
};

TEST(StationUnit, PoolValuesFollowTheUnitsExportsAndVerdict) {
  struct Case {
    const char *name;
    bool writeOk, readBack, passed;
    std::vector<std::string> calls;
    const char *finalState;
  } cases[] = {
      {"written, read back, passed", true, true, true,
       {"reserve imei", "written imei I1", "verified imei I1", "end pass"}, "verified"},
      {"written, failed later", true, false, false,
       {"reserve imei", "written imei I1", "end fail"}, "burned"},
      {"the write failed", false, true, false, {"reserve imei", "end fail"}, "free"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    MemoryPools pools;
    pools.free["imei"] = {"I1", "I2"};
    StationUnit unit(&pools, {});
    unit.Begin("unit-1", "");
    std::string value, again, error;
    ASSERT_TRUE(unit.PoolValue("imei", &value, &error)) << error;
    ASSERT_TRUE(unit.PoolValue("imei", &again, &error) && again == value) << "once per unit";
    EXPECT_EQ(pools.owner[value], "unit-1") << "reserved under the journal's unit id";
    ASSERT_TRUE(unit.Identity("imei", true, value, c.writeOk ? 0 : 1, &error));
    EXPECT_TRUE(!c.readBack || unit.Identity("imei", false, value, 0, &error));
    unit.End(c.passed);
    EXPECT_EQ(pools.calls, c.calls);
    EXPECT_EQ(pools.state["I1"], c.finalState);
    unit.Begin("", ""); // no journal: an id of its own, and the next value
    EXPECT_TRUE(unit.PoolValue("imei", &value, &error) && value == "I2" && unit.Id().size() == 36u);
  }
}

TEST(StationUnit, SerialAndRefusalsComeWithReasons) {
  MemoryPools pools;
  pools.free["imei"] = {"I1"};
  pools.state["I1"] = "verified", pools.owner["I1"] = "another unit";
  std::string problem, value, error;
  StationUnit unit(&pools, [&] { return problem; });
  unit.Begin("u", "");
  EXPECT_FALSE(unit.PoolValue("imei", &value, &error));
  EXPECT_NE(error.find("verified on another unit"), std::string::npos) << error;
  EXPECT_FALSE(unit.PoolValue("imei", &value, &error) || unit.ReservedValue("imei", &value)) << "nothing kept";
  // A unit whose record cannot be kept gets nothing programmed.
  problem = "database or disk is full";
  EXPECT_FALSE(unit.MayWrite("sn", "X", &error));
  EXPECT_NE(error.find(problem), std::string::npos) << error;
  problem.clear();
  EXPECT_TRUE(unit.MayWrite("sn", "X", &error));
  // The serial number: the operator's barcode, else the first SN written or read.
  unit.Identity("sn", false, "READ-1", 0, &error);
  unit.Prompted("BARCODE-7");
  EXPECT_EQ(unit.Serial(), "BARCODE-7");
  unit.Begin("v", "");
  unit.Prompted("BARCODE-8");
  unit.Identity("sn", true, "WRITTEN-2", 0, &error);
  EXPECT_EQ(unit.Serial(), "BARCODE-8");
  StationUnit storeless(nullptr, {});
  EXPECT_FALSE(storeless.PoolValue("sn", &value, &error));
  EXPECT_NE(error.find("no results store"), std::string::npos);
}

} // namespace

TEST(WebLine, AddressesAreHostAndPortOrRefusedWithTheReason) {
  struct Case {
    const char *text, *host;
    int port;
    const char *why; // "" for an address taken; a refused one leaves host and port alone
  } cases[] = {{"127.0.0.1:8080", "127.0.0.1", 8080, ""}, {"localhost:0", "localhost", 0, ""},
               {"[::1]:65535", "::1", 65535, ""},       {":9000", "127.0.0.1", 9000, ""},
               {"0.0.0.0:80", "0.0.0.0", 80, ""},       {"127.0.0.1", "kept", 7, "no port"},
               {"127.0.0.1:", "kept", 7, "0 to 65535"}, {"127.0.0.1:65536", "kept", 7, "0 to 65535"},
               {"127.0.0.1:-1", "kept", 7, "0 to 65535"}, {"127.0.0.1:80x", "kept", 7, "0 to 65535"},
               {"::1:80", "kept", 7, "[ADDRESS]:PORT"}, {"[::1]80", "kept", 7, "[ADDRESS]:PORT"},
               {"[::1", "kept", 7, "[ADDRESS]:PORT"},   {"a/b:80", "kept", 7, "not a host"},
               {"", "kept", 7, "no port"}};
  for (const Case &c : cases) {
    std::string host = "kept", error;
    int port = 7;
    EXPECT_EQ(qrx::tools::WebLine::ParseAddress(c.text, &host, &port, &error), !*c.why) << c.text << ": " << error;
    EXPECT_TRUE(host == c.host && port == c.port) << c.text;
    EXPECT_NE(error.find(c.why), std::string::npos) << c.text << ": " << error;
  }
}

// The page speaks UTF-8 and the library its own code page: the pattern is shown converted, the
// answer reaches the library converted and judged by the library's matcher; a page that stops
// releases a station still waiting on it.
TEST(WebLine, PromptsCrossTheCodePageAndEndWithThePage) {
  qrx::tools::WebLine::Options o;
  o.address = "127.0.0.1";
  o.port = 0;
  o.terminal = false;
  o.toUtf8 = [](const std::string &s) { return "u:" + s; };
  o.fromUtf8 = [](const std::string &s) { return s.rfind("u:", 0) == 0 ? s.substr(2) : "a:" + s; };
  qrx::tools::WebLine web(o);
  std::string error;
  ASSERT_TRUE(web.Start(&error)) << error;
  EXPECT_NE(web.Url().find("http://127.0.0.1:"), std::string::npos);
  auto &prompts = web.Monitor().Prompts();
  auto openPrompt = [&] {
    for (int i = 0; i < 2000; ++i) {
      auto open = prompts.OpenPrompts();
      if (!open.empty()) return open.front();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return qrx::web::OpenPrompt{};
  };
  auto matches = [](const std::string &ansi) { return ansi.size() == 4; };
  std::string answer, where;
  int got = -1;
  std::thread station([&] { got = web.Ask(3, "^....$", matches, 16, &answer, &where); });
  qrx::web::OpenPrompt p = openPrompt();
  EXPECT_EQ(p.station, 3);
  EXPECT_EQ(p.pattern, "u:^....$");
  // Four characters as typed are six in the library's code page: judged there, not here. A text
  // with a zero byte, or one longer than the library's buffer, is no answer at all.
  EXPECT_EQ(prompts.Answer(3, p.id, "wxyz", qrx::web::AnswerSource::Page), qrx::web::AnswerResult::NoMatch);
  EXPECT_FALSE(prompts.Matches(3, p.id, std::string("u:a\0bc", 6)) || prompts.Matches(3, p.id, "u:" + std::string(20, 'a')));
  EXPECT_EQ(prompts.Answer(3, p.id, "ab", qrx::web::AnswerSource::Page), qrx::web::AnswerResult::Accepted);
  station.join();
  EXPECT_TRUE(got == 1 && answer == "a:ab" && where == "page") << answer << " from " << where;

  got = -1;
  std::thread waiting([&] { got = web.Ask(1, "^.+$", matches, 16, &answer, &where); });
  openPrompt();
  web.Stop();
  waiting.join();
  EXPECT_EQ(got, 0);
}
