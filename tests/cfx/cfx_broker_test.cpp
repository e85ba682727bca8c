// Publishing and validation against a real RabbitMQ node of the test's own and a small MES:
// four stations through a broker restart, a refused login and a collector restart, the
// outbox's bound, validation answers; qrx-cfx-tail reads every queue back.
#include "amqp_outlet.h"
#include "cfx_gzip.h"
#include "cfx_sample.h"
#include "cfx_schema.h"
#include "rabbit_test_node.h"
#include "test_mes.h"

#include "../support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <signal.h>
#include <sys/wait.h>
#include <thread>

namespace qrx::cfx {
namespace {

using qrx::testing::KeepingOutlet;
using qrx::testing::RabbitTestNode;
using qrx::testing::SampleUnit;
using qrx::testing::TestMes;

class CfxBroker : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    node_ = std::make_unique<RabbitTestNode>();
    node_->Start(&startError_); // the error, or nothing
  }
  static void TearDownTestSuite() { node_.reset(); }
  void SetUp() override { ASSERT_TRUE(startError_.empty()) << startError_; }

  // A publisher whose outlet keeps a copy of everything handed to the outbox.
  struct Line {
    std::vector<std::string> said; // outlive the publisher, whose sender speaks as it stops
    std::mutex saidLock;
    AmqpOutlet *outlet = nullptr;
    KeepingOutlet *keeping = nullptr;
    std::unique_ptr<CfxPublisher> publisher; // owns both outlets
    std::string Said() {
      std::lock_guard<std::mutex> hold(saidLock);
      std::string all;
      for (const std::string &s : said) all += s + "\n";
      return all;
    }
  };
  std::unique_ptr<Line> Open(const std::string &url, CfxOutbox::Limits limits = {},
                             int gzipLevel = CfxGzip::kDefaultLevel) {
    auto line = std::make_unique<Line>();
    AmqpUrl parsed;
    std::string error;
    EXPECT_TRUE(AmqpUrl::Parse(url, &parsed, &error)) << error;
    Line *raw = line.get();
    auto outlet = AmqpOutlet::Open(parsed, "Acme.FT3000.SN0042", (folder_ / "cfx-outbox.db").string(), limits,
                                   gzipLevel, [raw](const std::string &text) {
                                     std::lock_guard<std::mutex> hold(raw->saidLock);
                                     raw->said.push_back(text);
                                   }, &error);
    EXPECT_TRUE(outlet) << error;
    line->outlet = outlet.get();
    auto keeping = std::make_unique<KeepingOutlet>(std::move(outlet));
    line->keeping = keeping.get();
    CfxPublisher::Settings settings;
    settings.handle = "Acme.FT3000.SN0042";
    settings.heartbeat = std::chrono::seconds(1);
    settings.drainAtStop = std::chrono::seconds(120);
    line->publisher = std::make_unique<CfxPublisher>(settings, std::move(keeping));
    return line;
  }

  // What a command prints, and its exit status.
  static std::string Output(const std::string &command, int *exit) {
    FILE *pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    *exit = pipe ? WEXITSTATUS(pclose(pipe)) : -1;
    return out;
  }

  // Every message waiting in the queue, as qrx-cfx-tail --json reads them (raw or gzip by their
  // content-encoding).
  static std::vector<Json> Drain(const std::string &queue) {
    int exit = -1;
    std::istringstream lines(Output(std::string(QRX_CFX_TAIL) + " --json --idle 2 " + queue, &exit));
    EXPECT_EQ(exit, 0);
    std::vector<Json> all;
    for (std::string line; std::getline(lines, line);) all.push_back(Json::parse(line, nullptr, false));
    return all;
  }

  inline static std::unique_ptr<RabbitTestNode> node_;
  inline static std::string startError_;
  test::TempFolder temp_{"cfx"};
  const std::filesystem::path folder_ = temp_.Root();
};

// A running qrx-collector publishing four stations of the simulated line (a C host, recording
// on) through a broker stop and restart, then a host killed in the middle of its units: every
// unit's messages arrive once by id, in order, each cut unit closed as aborted.
TEST_F(CfxBroker, CollectorPublishesFourStationsThroughABrokerRestart) {
  const std::string line = (folder_ / "line").string();
  std::filesystem::copy(QRX_STATION, line, std::filesystem::copy_options::recursive);
  std::filesystem::remove_all(line + "/Journal");
  std::filesystem::remove_all(line + "/Results");
  const std::string queue = node_->Url("/queue/cfx-line");
  const pid_t collector = fork();
  if (collector == 0) {
    execl(QRX_COLLECTOR, QRX_COLLECTOR, "--station", line.c_str(), "--cfx", queue.c_str(), "--poll-ms", "50",
          static_cast<char *>(nullptr));
    _exit(127);
  }
  const std::string host = std::string(QRX_C_HOST) + " " + line;
  EXPECT_EQ(std::system((host + " 3").c_str()), 0);
  ASSERT_TRUE(node_->Stop()); // away while the collector publishes and the next host runs
  EXPECT_NE(std::system((host + " 2 kill").c_str()), 0);
  std::string error;
  ASSERT_TRUE(node_->Restart(&error)) << error;
  auto outbox = [&] {
    auto box = CfxOutbox::Open(line + "/Results/cfx-outbox.db", {}, &error);
    return box ? box->Count() : -1;
  };
  for (int i = 0; i < 1200 && outbox() != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  kill(collector, SIGTERM);
  int status = -1;
  waitpid(collector, &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(outbox(), 0);

  std::map<std::string, std::string> units; // transaction -> its messages, first arrivals
  std::map<char, std::string> perStation;   // the serials' unit numbers in arrival order
  int duplicates = 0;
  std::set<std::string> seen;
  for (const Json &e : Drain(queue)) {
    EXPECT_EQ(CfxSchema::Check(e), std::vector<std::string>()) << e.dump();
    const std::string name = e["MessageName"], last = name.substr(name.rfind('.') + 1);
    const Json &body = e["MessageBody"];
    const std::string tx = body.value("TransactionID", body.value("TransactionId", std::string()));
    if (!seen.insert(e["UniqueID"].get<std::string>()).second) {
      ++duplicates;
      continue;
    }
    if (!tx.empty() && name.find(".Production.") != std::string::npos)
      units[tx] += last + (last == "WorkCompleted" ? " " + body["Result"].get<std::string>() : "") + " ";
    const std::string tested = last == "UnitsTested" ? body["TestedUnits"][0]["UnitIdentifier"] : "";
    if (tested.size() == 7 && tested[0] == 'C') perStation[tested[1]] += tested.substr(3) + " ";
  }
  EXPECT_EQ(units.size(), 4u * 6); // 3 units a station, then 2 whole and 1 cut short
  int aborted = 0;
  for (const auto &[tx, messages] : units) { // once each, in order: none with a new id
    const bool cut = messages == "WorkStarted UnitsTested WorkCompleted Aborted ";
    aborted += cut;
    EXPECT_TRUE(cut || messages == "WorkStarted UnitsTested UnitsPersonalized WorkCompleted Completed ") << messages;
  }
  EXPECT_EQ(aborted, 4);
  for (char s : {'0', '1', '2', '3'})
    EXPECT_EQ(perStation[s], "0000 0001 0002 0000 0001 ") << "station " << s;
  std::printf("[ info ] %zu units, %d message(s) resent after the restart with their own ids\n",
              units.size(), duplicates);
}

// Messages queued gzip-compressed while the broker refuses the login go out at the next start,
// which sends raw JSON: each goes as it was queued, with the id it had.
TEST_F(CfxBroker, RefusedLoginKeepsMessagesForTheNextStart) {
  const std::string path = "/queue/cfx-login";
  std::string url = node_->Url(path);
  url.insert(7, "guest:wrong@");
  std::vector<Json> sent;
  {
    auto line = Open(url);
    line->publisher->OnCollectorStarted();
    store::UnitRecord unit = SampleUnit("L-1", 1);
    line->publisher->OnUnitEnded(unit);
    for (int i = 0; i < 100 && line->Said().find("refused the login") == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_NE(line->Said().find("refused the login of user guest"), std::string::npos) << line->Said();
    EXPECT_EQ(line->outlet->Outbox().Count(), 8); // connected, heartbeat, 6 for the unit
    sent = line->keeping->Kept();
    size_t json = 0;
    for (const Json &e : sent) json += e.dump().size();
    EXPECT_LT(line->outlet->Outbox().Bytes(), static_cast<int64_t>(json)) << "queued compressed";
    line->publisher.reset();
  }
  url = node_->Url(path);
  url.insert(7, "guest:guest@");
  auto line = Open(url, {}, 0);
  EXPECT_NE(line->Said().find("8 message(s) of an earlier run wait"), std::string::npos) << line->Said();
  // The bound counts bytes as they come and go, text that is not ASCII included.
  store::UnitRecord latin = SampleUnit("L-2", 1);
  latin.items.back().value = "V1.2 \xE9";
  line->publisher->OnUnitEnded(latin);
  ASSERT_TRUE(line->outlet->Sender().Flush(std::chrono::seconds(60))) << line->Said();
  EXPECT_EQ(line->outlet->Outbox().Bytes(), 0);
  std::vector<std::string> sentIds, arrivedIds; // every message once, in order
  for (const Json &e : sent) // later heartbeats are dropped while the broker refuses
    if (e["MessageName"] != "CFX.Heartbeat" || e == sent[1]) sentIds.push_back(e["UniqueID"]);
  for (const Json &e : line->keeping->Kept()) sentIds.push_back(e["UniqueID"]);
  for (const Json &e : Drain(node_->Url(path))) {
    EXPECT_EQ(CfxSchema::Check(e), std::vector<std::string>()) << e.dump();
    if (e["MessageName"] != "CFX.Heartbeat" || e["UniqueID"] == sentIds[1]) arrivedIds.push_back(e["UniqueID"]);
  }
  EXPECT_EQ(arrivedIds, sentIds);
}

TEST_F(CfxBroker, AFullOutboxRefusesNewMessagesAndSaysSo) {
  CfxOutbox::Limits limits;
  limits.maxMessages = 4;
  auto line = Open("amqp://127.0.0.1:1/queue/cfx", limits); // nobody listens there
  line->publisher->OnCollectorStarted();                       // 2 messages
  line->publisher->OnStationState(1, StationState::Starting);  // 3
  line->publisher->OnUnitEnded(SampleUnit("F-1", 1));          // 6 more: over the bound
  line->publisher->OnStationState(1, StationState::Ended);     // 4
  EXPECT_EQ(line->outlet->Outbox().Count(), 4);
  const std::string said = line->Said();
  EXPECT_NE(said.find("room again; 6 message(s) were not queued while it was full"), std::string::npos) << said;
  EXPECT_NE(said.find("is full (3 messages"), std::string::npos) << said;
  EXPECT_EQ(said.find("is full", said.find("is full") + 1), std::string::npos) << "said once: " << said;
}

// qrx-run asks the MES before a unit's first step: a rejected unit is not tested, the
// operator reads why; an answer that cannot be read, none in time or a MES away follows
// --cfx-no-answer.
TEST_F(CfxBroker, QrxRunTestsOnlyWhatTheMesAccepts) {
  TestMes mes;
  const std::string sequence = (folder_ / "one.seq").string();
  std::FILE *f = std::fopen(sequence.c_str(), "w");
  std::fputs("@product QRX\n@config QRX_Station.xml\nInit_TestInterface()\n", f);
  std::fclose(f);
  struct Case {
    const char *serial, *extra;
    int exit;
    const char *shown;
    bool tested;
    std::string url;
  } cases[] = {
      {"OK-1", "", 0, "ok   @cfx-validate SN OK-1  the MES Test.MES.1 accepts SN OK-1", true, mes.Url()},
      {"GZIP-2", "", 0, "accepts SN GZIP-2", true, mes.Url()}, // compressed, read by its content-encoding
      {"REJECT-3", "", 1,
       "FAIL @cfx-validate SN REJECT-3  the MES Test.MES.1 rejects the unit: validation Failed "
       "(code 17): unit is on hold at repair: the unit is not tested", false, mes.Url()},
      {"GZIPCUT-4", "", 1, "SN GZIPCUT-4  the MES's answer cannot be read: the gzip body is cut short", false, mes.Url()},
      {"GARBLED-5", "--cfx-no-answer test", 0, "SN GARBLED-5  the MES's answer cannot be read: the body is not JSON",
       true, mes.Url()},
      {"SILENT-6", "--cfx-validate-timeout 1", 1,
       "gave no answer within 1000 ms (--cfx-no-answer refuse): the unit is not tested", false, mes.Url()},
      {"SILENT-7", "--cfx-validate-timeout 1 --cfx-no-answer test", 0,
       "gave no answer within 1000 ms: tested without the MES's word (--cfx-no-answer test)", true, mes.Url()},
      {"OK-8", "", 1, "SN OK-8  the MES cannot be asked: amqp://127.0.0.1:1/Test.MES.1 cannot be reached", false,
       "amqp://127.0.0.1:1/" + std::string(TestMes::kHandle)},
  };
  for (const Case &c : cases) {
    int exit = -1;
    const std::string out = Output(std::string(QRX_RUN) + " --station " + QRX_STATION + " --no-terminal --quiet --serial " +
                                   c.serial + " --cfx-validate " + c.url + " " + c.extra + " " + sequence + " 2>&1", &exit);
    EXPECT_EQ(exit, c.exit) << out;
    EXPECT_NE(out.find(c.shown), std::string::npos) << c.serial << ":\n" << out;
    EXPECT_EQ(out.find("Init_TestInterface()  -> 0") != std::string::npos, c.tested) << c.serial << ":\n" << out;
  }
}

} // namespace
} // namespace qrx::cfx
