// Reports and unit files: yields by unit with retests, Pareto order, item statistics on sets
// whose figures are known in closed form, escaping of everything from stations, the JSON-lines
// round trip and its errors.
#include "html_text.h"
#include "report_builder.h"
#include "report_figures.h"
#include "store/unit_json.h"
#include "unit_source.h"
#include "store/store_factory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>

using namespace qrx::web;
using namespace qrx::store;

namespace {

const int64_t kDay = 86400LL * 1000000, kT0 = 1796000000LL * 1000000; // 2026-12-01 ... UTC

UnitRecord Unit(const std::string &serial, int station, int64_t started, UnitVerdict verdict,
                const std::string &failingStep = {}) {
  UnitRecord u;
  u.unitId = "id-" + serial + "-" + std::to_string(started);
  u.serialNumber = serial;
  u.productType = station <= 2 ? "QRX" : "UFI";
  u.stationIndex = station;
  u.hostName = "pc";
  u.startedUs = started;
  u.endedUs = verdict == UnitVerdict::Incomplete ? 0 : started + 1000;
  u.verdict = verdict;
  u.steps.push_back({0, "Init", "", 0, true, started, 10});
  if (!failingStep.empty()) {
    u.steps.push_back({1, failingStep, "1", 2, false, started, 10});
    u.firstFailingStep = 1;
  }
  return u;
}

TestItemRecord Item(const std::string &name, double v, std::optional<double> lo, std::optional<double> hi) {
  TestItemRecord t;
  t.name = name;
  t.valueNumber = v;
  t.value = std::to_string(v);
  t.lowerNumber = lo;
  t.upperNumber = hi;
  t.lower = lo ? std::to_string(*lo) : "";
  t.upper = hi ? std::to_string(*hi) : "";
  t.passed = (!lo || v >= *lo) && (!hi || v <= *hi);
  t.verdict = t.passed ? "PASS" : "FAIL";
  return t;
}

// Yield rows as "key units tests firstPass finalPass|...".
std::string Yields(const std::vector<YieldRow> &rows) {
  std::string out;
  for (const YieldRow &r : rows)
    out += (out.empty() ? "" : "|") + r.key + " " + std::to_string(r.units) + " " + std::to_string(r.tests) +
           " " + std::to_string(r.firstPass) + " " + std::to_string(r.finalPass);
  return out;
}

TEST(ReportFigures, YieldCountsUnitsWhereTheyWereFirstTested) {
  std::vector<UnitRecord> units = {
      // A fails on station 1 on day 0, passes its retest on station 3 on day 1.
      Unit("A", 1, kT0, UnitVerdict::Fail, "GSM_NST_MeasPower"),
      Unit("A", 3, kT0 + kDay, UnitVerdict::Pass),
      Unit("B", 1, kT0 + 10, UnitVerdict::Pass),
      // C fails twice, on different steps; listed out of time order.
      Unit("C", 2, kT0 + kDay + 50, UnitVerdict::Fail, "LteTest_MaxPwrAll_LTEFT"),
      Unit("C", 2, kT0 + 20, UnitVerdict::Fail, "GSM_NST_MeasPower"),
      Unit("D", 3, kT0 + 30, UnitVerdict::Incomplete),
      Unit("", 4, kT0 + 40, UnitVerdict::Pass),
      Unit("", 4, kT0 + 41, UnitVerdict::Fail, "WiFi_TxMeas_Result_Ufi"),
  };
  ReportFigures f(units);
  // Units: A, B, C and two without serial number; D never ended. First pass: B and the first
  // unnamed one; final pass: A after its retest too. A counts at station 1, not 3, and every
  // unit was first tested on day 0.
  EXPECT_EQ(Yields({f.Line()}), f.Line().key + " 5 7 2 3");
  EXPECT_EQ(f.Incomplete(), 1);
  EXPECT_EQ(Yields(f.ByStation()), "pc S1 2 3 1 2|pc S2 1 2 0 0|pc S4 2 2 1 1");
  EXPECT_EQ(Yields(f.ByDay()), ReportFigures::DayKey(kT0) + " 5 7 2 3");
  EXPECT_EQ(Yields(f.ByProduct()), "QRX 3 5 1 2|UFI 2 2 1 1");

  ASSERT_EQ(f.Retests().size(), 2u);
  // C's tests come in time order whatever the order of the records.
  for (const auto &r : f.Retests())
    if (r.serialNumber == "C") {
      EXPECT_EQ(units[r.tests.front()].startedUs, kT0 + 20);
    }

  ASSERT_EQ(f.FailingSteps().size(), 3u);
  EXPECT_EQ(f.FailingSteps()[0].key, "GSM_NST_MeasPower");
  EXPECT_EQ(f.FailingSteps()[0].count, 2);
  EXPECT_DOUBLE_EQ(f.FailingSteps()[0].cumulativeShare, 0.5);
  EXPECT_DOUBLE_EQ(f.FailingSteps().back().cumulativeShare, 1.0);
  EXPECT_EQ(ReportFigures::TimeText(kT0), "2026-11-30 00:53:20");
  EXPECT_EQ(ReportFigures::TimeText(kT0 + kDay + 3723000000LL), "2026-12-01 01:55:23");
}

TEST(ReportFigures, ItemStatisticsOnSetsWithKnownFigures) {
  // k pairs 10-d, 10+d: mean 10, sample sd d*sqrt(2k/(2k-1)); with limits 8 and 13 the nearer
  // limit is 8, so Cpk = 2/(3 sd).
  const int k = 50;
  const double d = 0.5;
  UnitRecord u = Unit("S", 1, kT0, UnitVerdict::Pass);
  for (int i = 0; i < k; ++i) {
    u.items.push_back(Item("Power", 10 - d, 8.0, 13.0));
    u.items.push_back(Item("Power", 10 + d, 8.0, 13.0));
    u.items.push_back(Item("Leak", 1.0 + (i % 2 ? 0.25 : -0.25), std::nullopt, 1.5)); // upper limit only
    u.items.push_back(Item("Flat", 3.0, 0.0, 5.0));                                    // no spread
  }
  u.items.push_back(Item("Power", 14.0, 8.0, 13.0)); // one outside, same limits
  u.items.push_back(Item("Power", 10.0, 9.0, 11.0)); // other limits: another item
  UnitRecord text = u;
  text.items = {Item("Label", 0, 0.0, 1.0)};
  text.items[0].valueNumber.reset(); // a text value is not measured
  ReportFigures f(std::vector<UnitRecord>{u, text});
  std::map<std::string, std::vector<const ItemStatistics *>> named;
  for (const auto &s : f.Items()) named[s.name].push_back(&s);
  EXPECT_EQ(named.count("Label"), 0u);
  ASSERT_TRUE(named["Power"].size() == 2 && named["Leak"].size() == 1 && named["Flat"].size() == 1);
  const ItemStatistics *power = named["Power"][named["Power"][0]->values.size() > 1 ? 0 : 1];
  const ItemStatistics *leak = named["Leak"][0], *flat = named["Flat"][0];
  // With the outlier 14: n = 2k+1, mean = (20k + 14)/(2k+1).
  double n = 2 * k + 1, mean = (20.0 * k + 14) / n;
  double ss = k * ((10 - d - mean) * (10 - d - mean) + (10 + d - mean) * (10 + d - mean)) + (14 - mean) * (14 - mean);
  double sd = std::sqrt(ss / (n - 1));
  EXPECT_NEAR(power->mean, mean, 1e-12);
  EXPECT_NEAR(power->sd, sd, 1e-12);
  ASSERT_TRUE(power->cpk);
  EXPECT_NEAR(*power->cpk, std::min(13 - mean, mean - 8) / (3 * sd), 1e-12);
  EXPECT_EQ(power->outside, 1);
  EXPECT_EQ(power->failed, 1);
  double leakSd = 0.25 * std::sqrt(double(k) / (k - 1));
  EXPECT_NEAR(leak->sd, leakSd, 1e-12);
  ASSERT_TRUE(leak->cpk);
  EXPECT_NEAR(*leak->cpk, 0.5 / (3 * leakSd), 1e-12);
  EXPECT_FALSE(flat->cpk) << "no spread, no Cpk";
  EXPECT_EQ(flat->sd, 0.0);
}

TEST(ReportBuilder, ChartsAndFiguresAreInTheDocumentAndStationTextsOnlyAsText) {
  std::vector<UnitRecord> units;
  for (int i = 0; i < 19; ++i) {
    auto u = Unit("U" + std::to_string(i), 1 + i % 4, kT0 + i * 1000, i % 5 ? UnitVerdict::Pass : UnitVerdict::Fail,
                  i % 5 ? "" : "TxMaxPwr_TDFT");
    u.items.push_back(Item("MaxPower", 23.0 + 0.1 * (i % 7), 22.5, 24.0));
    units.push_back(u);
  }
  // A unit whose texts are markup, tested twice: its serial number also shows in the retests.
  units.push_back(Unit("<script>alert(1)</script>", 1, kT0, UnitVerdict::Fail, "\"><svg onload=alert(2)>"));
  units.back().hostName = "pc'1";
  units.back().items.push_back(Item("<img src=x onerror=alert(3)>", 1.0, 0.0, 0.5));
  units.back().failureReason = "bad </details><script>alert(4)</script>";
  units.push_back(units.back());
  units.back().startedUs += 1000;
  ReportOptions o;
  o.title = "Report <i>";
  std::string html = ReportBuilder(o).Build(units);
  for (const char *part : {"class=\"chart yield\"", "class=\"chart pareto\"", "class=\"chart histogram\"",
                           "class=\"lsl\"", "class=\"usl\"", "class=\"mean\"", "id=\"search\"", "id=\"index\"", "data-fpy=\"0.75\""})
    EXPECT_NE(html.find(part), std::string::npos) << part;
  // Every unit in the index links to its record.
  for (size_t i = 0; i < units.size(); ++i)
    EXPECT_NE(html.find("<details class=\"unit\" id=\"u" + std::to_string(i) + "\""), std::string::npos);
  EXPECT_EQ(ReportBuilder().Build({}).find("class=\"chart histogram\""), std::string::npos);

  for (const char *raw : {"<script>alert", "<svg onload", "<img src", "\"><svg", "pc'1", "<i>"})
    EXPECT_EQ(html.find(raw), std::string::npos) << raw;
  EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(html.find("&lt;img src=x onerror=alert(3)&gt;"), std::string::npos);
  EXPECT_NE(html.find("pc&#39;1"), std::string::npos);
  // One script of its own (the search), no external resource of any kind.
  size_t scripts = 0;
  for (size_t at = 0; (at = html.find("<script", at)) != std::string::npos; ++at) ++scripts;
  EXPECT_EQ(scripts, 1u);
  for (const char *remote : {"<img", "<iframe", "https:", "url(", "@import", "<link"})
    EXPECT_EQ(html.find(remote), std::string::npos) << remote;
  std::string noSvgNamespace = html;
  for (size_t at; (at = noSvgNamespace.find("http://www.w3.org/2000/svg")) != std::string::npos;)
    noSvgNamespace.erase(at, 26);
  EXPECT_EQ(noSvgNamespace.find("http:"), std::string::npos);

  EXPECT_EQ(EscapeHtml("a<b>&\"'"), "a&lt;b&gt;&amp;&quot;&#39;");
  EXPECT_EQ(EscapeHtml("x\xC0\xAFy\xE2\x82"), "x\xEF\xBF\xBD\xEF\xBF\xBDy\xEF\xBF\xBD\xEF\xBF\xBD")
      << "overlong and cut-off sequences are replaced";
  EXPECT_EQ(ValidUtf8("\xE6\xB5\x8B\xF0\x9F\x98\x80"), "\xE6\xB5\x8B\xF0\x9F\x98\x80");
  EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD") << "surrogates are not UTF-8";

  // Absurd time stamps and numbers from a broken host still make a report.
  units.resize(2);
  units[0].startedUs = INT64_MIN;
  units[1].startedUs = INT64_MAX;
  units[1].items.push_back(Item("MaxPower", 1e308, 22.5, 24.0));
  units[1].items.push_back(Item("MaxPower", -1e308, 22.5, 24.0));
  units[1].items.push_back(Item("Odd", std::numeric_limits<double>::infinity(), 0.0, 1.0));
  html = ReportBuilder().Build(units);
  EXPECT_NE(html.find("0000-01-01 00:00:00"), std::string::npos);
  EXPECT_NE(html.find("9999-12-31 23:59:59"), std::string::npos);
  EXPECT_EQ(html.find("data-name=\"Odd\""), std::string::npos) << "an infinite value is not a measurement";
  EXPECT_NE(html.find("values too far apart to draw"), std::string::npos);
}

TEST(UnitFiles, RoundTripAndErrorsNameTheLine) {
  UnitRecord u = Unit("\xE6\xB5\x8B SN \"1\"", 2, kT0, UnitVerdict::Fail, "Step");
  u.items.push_back(Item("P", 1.5, std::nullopt, 2.0));
  u.items.push_back(Item("T", 0, 0.0, 1.0));
  u.items.back().valueNumber.reset();
  u.items.back().value = "OK";
  u.identities.push_back({1, "imei", "356938035643809", "written", 0, true, kT0});
  u.downloads.push_back({1, "img.bin", false, "timeout", 5});
  u.failureReason = "why";
  u.sequenceHash = "ab";
  std::string path = ::testing::TempDir() + "/units_roundtrip.jsonl";
  std::string error;
  ASSERT_TRUE(SaveUnits(path, {u, Unit("B", 1, kT0, UnitVerdict::Pass)}, &error)) << error;
  auto back = LoadUnits("file:" + path, &error);
  ASSERT_EQ(back.size(), 2u) << error;
  EXPECT_EQ(UnitToJson(back[0]), UnitToJson(u)); // the JSON form names every field

  // A bad line fails the whole file, and the error names the line and what is wrong with it.
  const struct {
    std::string content, error;
  } bad[] = {
      {UnitToJson(u).dump() + "\n\n" + R"({"unitId":"x","stationIndex":"3"})",
       ":3: field 'stationIndex' has the wrong type"},
      {R"({"unitId":"x","items":[{"name":"a","valueNumber":"1"}]})" "\n{broken",
       ":1: field 'valueNumber' is not a number"},
      {R"({"unitId":"x","verdict":"maybe"})", "unknown verdict"},
      {R"({"unitId":"x","verdict":"PASS"})", "unknown verdict"}, // names are lower case
      {R"({"serialNumber":"no id"})", "unit id"},
  };
  for (const auto &b : bad) {
    std::ofstream(path, std::ios::trunc) << b.content << "\n";
    EXPECT_TRUE(LoadUnits(path, &error).empty()) << b.error;
    EXPECT_NE(error.find(b.error), std::string::npos) << error;
  }
  EXPECT_TRUE(LoadUnits(path + ".missing", &error).empty());
  EXPECT_NE(error.find("cannot open"), std::string::npos);
  EXPECT_TRUE(LoadUnits("mysql://localhost/line", &error).empty());
  EXPECT_NE(error.find("mysql"), std::string::npos);
  std::remove(path.c_str());
}

// Files written before the record had one JSON form: qrx-run's JSON lines named some fields
// differently, and the spool kept steps, items, identities and downloads as arrays in field
// order. Both still read as the unit they hold; the current name wins where both are present.
TEST(UnitFiles, OlderFormsStillRead) {
  const auto older = nlohmann::json::parse(R"({"unitId":"u","station":3,"sequenceSha256":"ab",
      "verdict":"fail","firstFailingStep":0,
      "steps":[{"index":0,"export":"ReadSN","arguments":"","result":2,"passed":false}],
      "items":[{"step":0,"name":"P","valueNumber":1.5,"lowerNumber":null}],
      "identities":[{"step":0,"kind":"sn","value":"S1","action":"read"}],
      "downloads":[{"step":1,"image":"i.bin","success":true}]})");
  const auto spooled = nlohmann::json::parse(R"({"unitId":"s","stationIndex":2,"verdict":"pass",
      "steps":[[0,"Init","a",0,true,5,6]],
      "items":[[0,"src","P","1.5","1","",1.5,1.0,null,"PASS",true,"t",7,8]],
      "identities":[[0,"imei","356938035643809","written",0,true,9]],
      "downloads":[[1,"i.bin",false,"timeout",10]]})");
  // Each form read, as the current form names its fields.
  auto read = [](const nlohmann::json &form) {
    UnitRecord u;
    std::string error;
    EXPECT_TRUE(UnitFromJson(form, &u, &error)) << error;
    return UnitToJson(u);
  };
  const std::pair<nlohmann::json, std::vector<std::pair<const char *, nlohmann::json>>> expected[] = {
      {older, {{"/stationIndex", 3}, {"/sequenceHash", "ab"}, {"/verdict", "fail"}, {"/steps/0/exportName", "ReadSN"},
               {"/steps/0/result", 2}, {"/items/0/stepIndex", 0}, {"/items/0/valueNumber", 1.5},
               {"/items/0/lowerNumber", nullptr}, {"/identities/0/stepIndex", 0}, {"/downloads/0/stepIndex", 1}}},
      {spooled, {{"/steps/0/exportName", "Init"}, {"/steps/0/durationUs", 6}, {"/items/0/source", "src"},
                 {"/items/0/lowerNumber", 1.0}, {"/items/0/upperNumber", nullptr}, {"/items/0/tag", "t"},
                 {"/items/0/wallUs", 8}, {"/identities/0/fromPool", true}, {"/identities/0/wallUs", 9},
                 {"/downloads/0/outcome", "timeout"}}}};
  for (const auto &[form, fields] : expected) {
    const nlohmann::json unit = read(form);
    for (const auto &[pointer, value] : fields)
      EXPECT_EQ(unit.at(nlohmann::json::json_pointer(pointer)), value) << pointer;
  }
  auto both = older;
  both["stationIndex"] = 4;
  EXPECT_EQ(read(both).at("stationIndex"), 4);
  both["station"] = "x"; // an older name with a bad value is still an error
  both.erase("stationIndex");
  UnitRecord u;
  std::string error;
  EXPECT_FALSE(UnitFromJson(both, &u, &error));
  EXPECT_NE(error.find("'stationIndex' has the wrong type"), std::string::npos) << error;

  // A positional element of the wrong length is not guessed at.
  auto shortStep = spooled;
  shortStep["steps"][0].erase(6);
  EXPECT_FALSE(UnitFromJson(shortStep, &u, &error));
  EXPECT_NE(error.find("an element of 'steps'"), std::string::npos) << error;
}

// Reports read the results store the hosts write: whole units, oldest first, and a store that
// is not there is an error rather than a new empty file.
TEST(UnitSource, ReadsTheResultsStoreHostsWrite) {
  const std::string db = ::testing::TempDir() + "/units_source_store.db";
  std::remove(db.c_str());
  std::string error;
  UnitRecord late = Unit("B", 2, kT0 + kDay, UnitVerdict::Pass);
  UnitRecord early = Unit("A", 1, kT0, UnitVerdict::Fail, "GSM_NST_MeasPower");
  early.items.push_back(Item("TxPower", 21.5, 20.0, 23.0));
  early.identities.push_back({0, "sn", "A", "written", 0, false, kT0});
  {
    auto sink = OpenUnitSink("sqlite:" + db, ::testing::TempDir(), &error);
    ASSERT_TRUE(sink) << error;
    for (const UnitRecord *u : {&late, &early}) {
      sink->BeginUnit(*u);
      sink->EndUnit(*u);
    }
    UnitRecord interrupted = Unit("C", 3, kT0 + 2 * kDay, UnitVerdict::Incomplete);
    sink->BeginUnit(interrupted);
  } // closing the sink drains its queue
  auto units = LoadUnits(db, &error);
  ASSERT_EQ(units.size(), 3u) << error;
  EXPECT_EQ(UnitToJson(units[0]), UnitToJson(early));
  EXPECT_EQ(UnitToJson(units[1]), UnitToJson(late));
  EXPECT_EQ(units[2].verdict, UnitVerdict::Incomplete);

  const std::string missing = ::testing::TempDir() + "/no_such_store.db";
  EXPECT_TRUE(LoadUnits(missing, &error).empty());
  EXPECT_NE(error.find("no results store"), std::string::npos) << error;
  EXPECT_FALSE(std::ifstream(missing).good()) << "a report never creates a store";
  std::remove(db.c_str());
}

} // namespace
