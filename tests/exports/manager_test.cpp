// The identity, download and transmitter cable-loss exports: one manager operation each, with
// the export's arguments unchanged, its result handed back, nothing staged. RegisterObserver and
// UnRegisterObserver: the host's observers hear the test items that the test libraries log, once
// each, until removed; bad registrations never crash a station.
#include "../services/recording_observer.h"
#include "export_fixture.h"
#include "fake_managers.h"

#include <thread>

namespace qrx::test {
namespace {

// The operation an export reaches: its own name, but for these four.
std::string OperationFor(std::string_view exportName) {
  if (exportName == "WriteFTFlag18G_LTEFT") return "WriteTestFlag";
  if (exportName == "Init_TestDll_DL") return "PrepareDownload";
  if (exportName == "StartDownloadImage") return "StartDownload";
  if (exportName == "StopDoadloadImage") return "StopDownload";
  return std::string(exportName);
}

class WithFakeManagers {
public:
  WithFakeManagers()
      : swap_([this](StationContext *c) {
          c->snManager = &sn;
          c->downloadManager = &download;
        }) {}
  FakeSnManager sn;
  FakeDownloadManager download;

private:
  StationFieldSwap swap_;
};

class ManagerRow : public ::testing::TestWithParam<size_t> {
protected:
  const ExportRow &Row() const { return kExportCatalogue[GetParam()]; }
};

TEST_P(ManagerRow, CallsItsOperationWithTheArgumentsUnchangedOnItsOwnStationOnly) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  RowArguments a;
  MakeArguments(Row(), &a);
  {
    StationFieldSwap without([](StationContext *c) {
      c->snManager = nullptr;
      c->downloadManager = nullptr;
    });
    EXPECT_EQ(CallExport(GetParam(), a.call), 1) << "no manager";
    ExpectOutputsUntouched(Row(), a);
  }
  WithFakeManagers fakes;
  int result = 0;
  std::thread([&] { result = CallExport(GetParam(), a.call); }).join();
  EXPECT_EQ(result, 1) << "a thread without a station";
  EXPECT_TRUE(fakes.sn.calls.empty() && fakes.download.calls.empty());
  EXPECT_EQ(CallExport(GetParam(), a.call), 37) << "the manager's result comes back";

  ManagerCall expected{OperationFor(Row().name), {}};
  for (size_t i = 0; i < Row().arguments.size(); ++i) {
    switch (Row().arguments[i]) {
    case argument_type::kInt:
    case argument_type::kText: expected.arguments.push_back(a.texts[i]); break;
    case argument_type::kTextBuffer: expected.arguments.push_back(Pointer(a.buffers[i])); break;
    case argument_type::kCallback:
      expected.arguments.push_back(Pointer(reinterpret_cast<void *>(&HostCallback)));
      break;
    default: ADD_FAILURE() << "unexpected argument type " << Row().arguments[i];
    }
  }
  if (Row().name == "WriteFTFlag18G_LTEFT") expected.arguments = {"4", "1"};
  const bool download = Row().service == ExportService::kDownloadManager;
  EXPECT_EQ(download ? fakes.download.calls : fakes.sn.calls, std::vector<ManagerCall>{expected});
  EXPECT_TRUE((download ? fakes.sn.calls : fakes.download.calls).empty());
  EXPECT_TRUE(s.PresentNames().empty()) << "nothing is staged";
  EXPECT_EQ(s.Record().calls, 0) << "no test library is called";
}

INSTANTIATE_TEST_SUITE_P(Catalogue, ManagerRow, ::testing::ValuesIn(RowsWhere(&IsManager)),
                         &RowName);

// Test-info item 21 reads item 4; null download texts arrive as empty ones.
TEST(Managers, TestInfoItem21ReadsItem4AndNullDownloadTextsAreEmpty) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  WithFakeManagers fakes;
  char buffer[64];
  const std::string b = Pointer(buffer);
  std::vector<ManagerCall> expected;
  const std::pair<int, const char *> items[] = {{21, "4"}, {20, "20"}, {4, "4"}, {22, "22"}, {-21, "-21"}};
  for (auto [item, read] : items) {
    ReadTestInfo(item, buffer);
    ReadTestInfo_AT(item, buffer);
    expected.push_back({"ReadTestInfo", {read, b}});
    expected.push_back({"ReadTestInfo_AT", {read, b}});
  }
  EXPECT_EQ(fakes.sn.calls, expected);
  EXPECT_EQ(StartDownloadImage(nullptr, 0, nullptr, nullptr, 0, 0, nullptr), 37);
  EXPECT_EQ(fakes.download.calls, (std::vector<ManagerCall>{
                                      {"StartDownload", {"", "0", Pointer(nullptr), "", "0", "0", ""}}}));
}

// The real managers over the minimal plug-in: a UFI station has no transmitter cable loss, a
// phone station refuses the UFI identity operations, whatever the plug-in.
TEST(RealManagers, EachStationRefusesTheOtherProductsOperations) {
  {
    ExportStation s(QRX_RECORDING_LIBRARY, "UFI");
    ASSERT_TRUE(s.Up());
    ASSERT_NE(s.Station().snManager, nullptr);
    EXPECT_EQ(TDDLTE_TxInit_CabLoss(1, 2, 3, 4, 5, 6, 7, 8), 1);
    EXPECT_EQ(TDDLTE_TxClose_CabLoss(), 1);
    EXPECT_EQ(FDDLTE_TxInit_CabLoss(1, 2, 3, 4, 5, 6, 7, 8), 1);
    EXPECT_EQ(FDDLTE_TxClose_CabLoss(), 1);
  }
  ExportStation s(QRX_RECORDING_LIBRARY, "QRX");
  ASSERT_TRUE(s.Up());
  char buffer[32] = "untouched";
  EXPECT_EQ(ReadMAC(buffer), 1);
  EXPECT_EQ(ReadSSID(buffer), 1);
  EXPECT_EQ(WriteMAC("00:11:22:33:44:55"), 1);
  EXPECT_EQ(WriteSSID(), 1);
  EXPECT_STREQ(buffer, "untouched");
}

class Observers : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(s.Up());
    s.Tell("Recorder.LogItem", "TxPower");
  }
  ExportStation s;
  RecordingObserver first, second;
};

TEST_F(Observers, RegisteredObserversHearEachItemOnce) {
  EXPECT_EQ(RegisterObserver(&first), 0);
  EXPECT_EQ(RegisterObserver(&second), 0);
  EXPECT_EQ(Init_TestInterface(), 0);
  const std::vector<Heard> once = {{16, ItemLine("TxPower", "37", "40.00", "30.00", "PASS")}};
  EXPECT_EQ(first.heard, once);
  EXPECT_EQ(second.heard, once);

  EXPECT_EQ(UnRegisterObserver(&first), 0);
  EXPECT_EQ(GSM_NST_MeasPower(1, 2, 3), 0);
  EXPECT_EQ(first.heard.size(), 1u);
  EXPECT_EQ(second.heard.size(), 2u);
}

TEST_F(Observers, ThreadWithoutStationOrStationWithoutHubIsRefusedAndNullNeverReachesTheLog) {
  int registered = 0, unregistered = 0;
  std::thread([&] {
    registered = RegisterObserver(&first);
    unregistered = UnRegisterObserver(&first);
  }).join();
  EXPECT_EQ(registered, 1);
  EXPECT_EQ(unregistered, 1);
  {
    StationFieldSwap without(RemoverOf(ExportService::kTestTools));
    EXPECT_EQ(RegisterObserver(&first), 1);
    EXPECT_EQ(UnRegisterObserver(&first), 1);
  }
  RegisterObserver(nullptr);
  EXPECT_EQ(RegisterObserver(&second), 0);
  EXPECT_EQ(Init_TestInterface(), 0) << "logging with a null registration must not crash";
  EXPECT_TRUE(first.heard.empty()) << "not registered with this station";
  EXPECT_EQ(second.heard.size(), 1u);
  UnRegisterObserver(nullptr);
}

} // namespace
} // namespace qrx::test
