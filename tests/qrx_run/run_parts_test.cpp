// The smaller parts of qrx-run: unit records as JSON lines, why a step failed, the English
// of the library's texts, the sequence file's hash, the identity arguments of sequences, and
// the live page's address and prompt.
#include "common/export_catalogue_view.h"
#include "common/sha256.h"
#include "qrx-run/english_texts.h"
#include "qrx-run/json_lines_sink.h"
#include "qrx-run/sequence_parser.h"
#include "qrx-run/step_diagnosis.h"
#include "qrx-run/web_line.h"
#include "store/unit_json.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace qrx::tools;
namespace fs = std::filesystem;

fs::path TempDir() {
  fs::path dir = fs::temp_directory_path() /
                 ("qrx-run-parts-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(JsonLines, UnitsAreAppendedOneWholeRecordPerLine) {
  fs::path dir = TempDir();
  qrx::store::UnitRecord unit;
  unit.unitId = "u1";
  unit.stationIndex = 3;
  unit.sequenceHash = "ab";
  unit.serialNumber = "SN\xE2\x82\xAC"; // a euro sign, UTF-8
  unit.verdict = qrx::store::UnitVerdict::Fail;
  unit.firstFailingStep = 0;
  unit.steps.push_back({0, "GSM_NST_MeasPower", "1, 62, 5", 2, false, 10, 20});
  qrx::store::TestItemRecord item;
  item.name = "TxPower";
  item.value = "36.25";
  item.valueNumber = 36.25;
  item.upper = "N/A";
  item.tag = "0";
  unit.items.push_back(item);
  unit.identities.push_back({0, "imei", "490154203237518", "written", 0, true, 5});
  unit.downloads.push_back({1, "Images/x.bin", true, "job 3 succeeded", 99});
  {
    JsonLinesSink sink((dir / "u.jsonl").string());
    ASSERT_TRUE(sink.Ok());
    sink.EndUnit(unit);
  }
  unit.unitId = "u2";
  unit.serialNumber = "bad\xFF"; // not UTF-8: kept, not thrown
  {
    JsonLinesSink sink((dir / "u.jsonl").string());
    sink.EndUnit(unit);
  }
  std::ifstream in(dir / "u.jsonl");
  std::string first, second, third;
  ASSERT_TRUE(std::getline(in, first));
  ASSERT_TRUE(std::getline(in, second));
  EXPECT_FALSE(std::getline(in, third));
  auto a = nlohmann::json::parse(first), b = nlohmann::json::parse(second);
  EXPECT_EQ(a["unitId"], "u1");
  EXPECT_EQ(b["unitId"], "u2");
  EXPECT_EQ(a["serialNumber"], "SN\xE2\x82\xAC");
  EXPECT_EQ(a["verdict"], "fail");
  EXPECT_EQ(a["steps"][0]["result"], 2);
  EXPECT_EQ(a["steps"][0]["arguments"], "1, 62, 5");
  EXPECT_EQ(a["items"][0]["valueNumber"], 36.25);
  EXPECT_TRUE(a["items"][0]["upperNumber"].is_null());
  EXPECT_EQ(a["items"][0]["upper"], "N/A");
  EXPECT_EQ(a["identities"][0]["fromPool"], true);
  EXPECT_EQ(a["downloads"][0]["outcome"], "job 3 succeeded");
  EXPECT_EQ(b["serialNumber"].get<std::string>().substr(0, 3), "bad");
  // The line is what qrx-report reads back: every field under the name the reader knows.
  qrx::store::UnitRecord back;
  std::string error;
  ASSERT_TRUE(qrx::store::UnitFromJson(a, &back, &error)) << error;
  EXPECT_EQ(qrx::store::UnitToJson(back), a);

  JsonLinesSink unwritable((dir / "no" / "such" / "dir.jsonl").string());
  EXPECT_FALSE(unwritable.Ok());
  EXPECT_FALSE(unwritable.Error().empty());
  fs::remove_all(dir);
}

// Stations ending units at the same time: every unit arrives as one whole line.
TEST(JsonLines, StationsEndingUnitsAtOnceGiveWholeLines) {
  fs::path dir = TempDir();
  constexpr int kStations = 4, kUnits = 20;
  {
    JsonLinesSink sink((dir / "u.jsonl").string());
    std::vector<std::thread> stations;
    for (int s = 0; s < kStations; ++s)
      stations.emplace_back([&, s] {
        qrx::store::UnitRecord unit;
        unit.stationIndex = s + 1;
        unit.items.resize(5);
        for (int u = 0; u < kUnits; ++u) {
          unit.unitId = std::to_string(s) + "-" + std::to_string(u);
          sink.EndUnit(unit);
        }
      });
    for (auto &t : stations) t.join();
  } // the destructor writes what is still queued
  std::ifstream in(dir / "u.jsonl");
  std::set<std::string> ids;
  for (std::string line; std::getline(in, line);) {
    auto unit = nlohmann::json::parse(line); // throws on a torn line
    EXPECT_EQ(unit["items"].size(), 5u);
    ids.insert(unit["unitId"].get<std::string>());
  }
  EXPECT_EQ(ids.size(), static_cast<size_t>(kStations * kUnits));
  fs::remove_all(dir);
}

const ExportRow &Row(const std::string &name) {
  const ExportRow *row = ExportCatalogueView::Find(name);
  EXPECT_NE(row, nullptr) << name;
  return *row;
}

TEST(StepDiagnosis, FindsTheMissingStagingNameInCommonXml) {
  const ExportRow &meas = Row("GSM_NST_MeasPower"); // QCal/Band, QCal/Channel, QCal/PALevel
  const std::string whole =
      "<?xml version=\"1.0\"?><Common><QCal><BandNumber>b</BandNumber><Band>B</Band>"
      "<Channel> C </Channel><PALevel>P</PALevel></QCal></Common>";
  EXPECT_EQ(StepDiagnosis::MissingStagingName(meas, whole), "");
  // <BandNumber> does not stand for <Band>; an empty or self-closed key is missing.
  EXPECT_EQ(StepDiagnosis::MissingStagingName(
                meas, "<Common><QCal><BandNumber>b</BandNumber><Channel>C</Channel></QCal></Common>"),
            "QCal/Band");
  EXPECT_EQ(StepDiagnosis::MissingStagingName(
                meas, "<Common><QCal><Band>B</Band><Channel>  </Channel><PALevel>P</PALevel></QCal></Common>"),
            "QCal/Channel");
  EXPECT_EQ(StepDiagnosis::MissingStagingName(
                meas, "<Common><QCal><Band>B</Band><Channel>C</Channel><PALevel/></QCal></Common>"),
            "QCal/PALevel");
  // The key must be inside its own section.
  EXPECT_EQ(StepDiagnosis::MissingStagingName(
                meas, "<Common><QCal><Band>B</Band><Channel>C</Channel></QCal><Cal><PALevel>P</PALevel></Cal></Common>"),
            "QCal/PALevel");
  EXPECT_EQ(StepDiagnosis::MissingStagingName(meas, ""), "QCal/Band");
}

TEST(StepDiagnosis, ExplainsOnesAndMinusOnes) {
  fs::path dir = TempDir();
  fs::create_directories(dir / "BusinessCfg");
  std::ofstream(dir / "BusinessCfg" / "Common.xml")
      << "<Common><QCal><Band>B</Band><Channel>C</Channel></QCal></Common>";
  const std::string deployment = dir.string() + "/";
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
  fs::remove_all(dir);
  EXPECT_NE(StepDiagnosis::Explain(Row("GSM_NST_MeasPower"), 1, "QRX", deployment, found)
                .find("Common.xml cannot be read"), std::string::npos);
}

TEST(EnglishTexts, LibraryTextsBecomeEnglishAndTheRestStays) {
  EXPECT_EQ(EnglishTexts::Translate("测试项目=VSWR\t\t测试数值=1.23\t\t上限=1.50\t\t下限=0.50\t\t测试结果=PASS"),
            "item=VSWR\t\tvalue=1.23\t\tupper=1.50\t\tlower=0.50\t\tresult=PASS");
  EXPECT_EQ(EnglishTexts::Translate("加载配置文件BusinessCfg/QRX.xml失败"),
            "Loading the configuration file BusinessCfg/QRX.xml failed");
  EXPECT_EQ(EnglishTexts::Translate("加载仪表动态库失败!"), "Could not load the instrument library!");
  EXPECT_EQ(EnglishTexts::Translate("请在脚本界面配置必要的型号机类型，参数名称：PhoneType"),
            "Configure the required phone type in the script settings, parameter name: PhoneType");
  EXPECT_EQ(EnglishTexts::Translate("VISA library 功率 VISA"), "VISA library 功率 VISA");
}

TEST(Sha256, PublishedVectors) {
  EXPECT_EQ(Sha256::Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256::Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256::Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  Sha256 million;
  for (int i = 0; i < 1000; ++i) million.Update(std::string(1000, 'a'));
  EXPECT_EQ(million.HexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(SequenceIdentities, PoolTokensWhereTextsGoAndTheCatalogueSaysWhichIdentity) {
  std::string error;
  auto seq = SequenceParser::ParseText(
      "WriteIMEI(@imei, 0)\nReadIMEI(out=@imei, 0)\nWriteMAC(@mac)\nWriteSN(@sn, 0)\n"
      "Mode_Select_TDFT(@sn)\n", "p.seq", &error);
  ASSERT_TRUE(seq) << error;
  EXPECT_EQ(seq->steps[0].args[0].pool, "imei");
  EXPECT_EQ(seq->steps[1].args[0].pool, "imei");
  EXPECT_TRUE(seq->steps[1].args[0].expectText);
  EXPECT_EQ(seq->steps[2].args[0].pool, "mac");
  EXPECT_EQ(seq->steps[4].args[0].pool, "sn"); // any text argument may take a pool value
  for (const auto &[line, message] :
       std::vector<std::pair<std::string, std::string>>{
           {"WriteIMEI(@mac, 0)", "p.seq:1: argument 1 of WriteIMEI: WriteIMEI handles the imei, not @mac"},
           {"WriteSN(@bt, 0)", "p.seq:1: argument 1 of WriteSN: unknown identity '@bt'"},
           {"GSM_NST_MeasPower(@sn, 1, 2)", "p.seq:1: argument 1 of GSM_NST_MeasPower must be an integer"}}) {
    EXPECT_FALSE(SequenceParser::ParseText(line + "\n", "p.seq", &error)) << line;
    EXPECT_EQ(error.substr(0, message.size()), message) << error;
  }

  auto use = [](const std::string &name) { return ExportCatalogueView::IdentityOf(Row(name)); };
  ASSERT_TRUE(use("WriteSN"));
  EXPECT_EQ(use("WriteSN")->kind, "sn");
  EXPECT_TRUE(use("WriteSN")->write);
  EXPECT_EQ(use("ReadIMEI")->kind, "imei");
  EXPECT_FALSE(use("ReadIMEI")->write);
  EXPECT_EQ(use("WritePSN16Bit")->kind, "psn16bit");
  EXPECT_EQ(use("ReadSSID")->kind, "ssid");
  // Test flags, test information and software versions are no identities.
  EXPECT_FALSE(use("WriteFTFlag18G_LTEFT"));
  EXPECT_FALSE(use("ReadTestInfo"));
  EXPECT_FALSE(use("ReadIntSoftVersion"));
  EXPECT_FALSE(use("GSM_NST_MeasPower"));
  int identities = 0;
  for (const ExportRow &row : ExportCatalogueView::Rows()) identities += ExportCatalogueView::IdentityOf(row) ? 1 : 0;
  EXPECT_EQ(identities, 12); // six identities, each written and read
}

} // namespace

TEST(WebLine, AddressesAreHostAndPortOrRefusedWithTheReason) {
  struct Case {
    const char *text, *host;
    int port;
  } good[] = {{"127.0.0.1:8080", "127.0.0.1", 8080}, {"localhost:0", "localhost", 0},
              {"[::1]:65535", "::1", 65535},     {":9000", "127.0.0.1", 9000},
              {"0.0.0.0:80", "0.0.0.0", 80}};
  for (const Case &c : good) {
    std::string host, error;
    int port = -1;
    EXPECT_TRUE(qrx::tools::WebLine::ParseAddress(c.text, &host, &port, &error)) << c.text << ": " << error;
    EXPECT_EQ(host, c.host) << c.text;
    EXPECT_EQ(port, c.port) << c.text;
  }
  struct Bad {
    const char *text, *why;
  } bad[] = {{"127.0.0.1", "no port"},          {"127.0.0.1:", "0 to 65535"},
             {"127.0.0.1:65536", "0 to 65535"}, {"127.0.0.1:-1", "0 to 65535"},
             {"127.0.0.1:80x", "0 to 65535"},   {"::1:80", "[ADDRESS]:PORT"},
             {"[::1]80", "[ADDRESS]:PORT"},     {"[::1", "[ADDRESS]:PORT"},
             {"a/b:80", "not a host"},          {"", "no port"}};
  for (const Bad &b : bad) {
    std::string host = "kept", error;
    int port = 7;
    EXPECT_FALSE(qrx::tools::WebLine::ParseAddress(b.text, &host, &port, &error)) << b.text;
    EXPECT_NE(error.find(b.why), std::string::npos) << b.text << ": " << error;
    EXPECT_EQ(host, "kept");
    EXPECT_EQ(port, 7);
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
  // Four characters as typed are six in the library's code page: judged there, not here.
  EXPECT_EQ(prompts.Answer(3, p.id, "wxyz", qrx::web::AnswerSource::Page), qrx::web::AnswerResult::NoMatch);
  EXPECT_EQ(prompts.Answer(3, p.id, "ab", qrx::web::AnswerSource::Page), qrx::web::AnswerResult::Accepted);
  station.join();
  EXPECT_EQ(got, 1);
  EXPECT_EQ(answer, "a:ab");
  EXPECT_EQ(where, "page");

  got = -1;
  std::thread waiting([&] { got = web.Ask(1, "^.+$", matches, 16, &answer, &where); });
  openPrompt();
  web.Stop();
  waiting.join();
  EXPECT_EQ(got, 0);
}
