// The identity, download and transmitter cable-loss exports: one manager operation each, with
// the export's arguments unchanged, its result handed back, nothing staged.
#include "export_fixture.h"
#include "fake_managers.h"

#include <thread>

namespace qrx::test {
namespace {

int32_t QRX_CALLBACK HostCallback(QRXDownloadEvent) { return 0; }

// The operation an export reaches: its own name, but for these four.
std::string OperationFor(std::string_view exportName) {
  if (exportName == "WriteFTFlag18G_LTEFT") return "WriteTestFlag";
  if (exportName == "Init_TestDll_DL") return "PrepareDownload";
  if (exportName == "StartDownloadImage") return "StartDownload";
  if (exportName == "StopDoadloadImage") return "StopDownload";
  return std::string(exportName);
}
bool IsDownload(std::string_view exportName) {
  return exportName == "Init_TestDll_DL" || exportName == "StartDownloadImage" ||
         exportName == "StopDoadloadImage";
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
  void Prepare(RowArguments *a) const {
    MakeArguments(Row(), a);
    for (size_t i = 0; i < Row().arguments.size(); ++i)
      if (Row().arguments[i] == argument_type::kCallback) a->call.callbacks[i] = &HostCallback;
  }
};

TEST_P(ManagerRow, CallsItsOperationWithTheArgumentsUnchangedOnItsOwnStationOnly) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  RowArguments a;
  Prepare(&a);
  {
    StationFieldSwap without([](StationContext *c) {
      c->snManager = nullptr;
      c->downloadManager = nullptr;
    });
    EXPECT_EQ(CallExport(GetParam(), a.call), 1) << "no manager";
    for (size_t i = 0; i < Row().arguments.size(); ++i)
      if (Row().arguments[i] == argument_type::kTextBuffer) {
        EXPECT_EQ(std::string(a.buffers[i]), kUntouched);
      }
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
    case argument_type::kInt: expected.arguments.push_back(a.texts[i]); break;
    case argument_type::kText: expected.arguments.push_back(a.texts[i]); break;
    case argument_type::kTextBuffer: expected.arguments.push_back(Pointer(a.buffers[i])); break;
    case argument_type::kCallback:
      expected.arguments.push_back(Pointer(reinterpret_cast<void *>(&HostCallback)));
      break;
    default: ADD_FAILURE() << "unexpected argument type " << Row().arguments[i];
    }
  }
  if (Row().name == "WriteFTFlag18G_LTEFT") expected.arguments = {"4", "1"};
  const bool download = IsDownload(Row().name);
  EXPECT_EQ(download ? fakes.download.calls : fakes.sn.calls, std::vector<ManagerCall>{expected});
  EXPECT_TRUE((download ? fakes.sn.calls : fakes.download.calls).empty());
  EXPECT_TRUE(s.PresentNames().empty()) << "nothing is staged";
  EXPECT_EQ(s.Record().calls, 0) << "no test library is called";
}

INSTANTIATE_TEST_SUITE_P(Catalogue, ManagerRow, ::testing::ValuesIn(RowsWhere(&IsManager)),
                         &RowName);

TEST(Managers, TestInfoItem21ReadsItem4) {
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
}

TEST(Managers, DownloadTextsArriveAsCopiesAndNullTextsAsEmpty) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  WithFakeManagers fakes;
  std::string image = "/images/a.bin", second = "/images/b.bin", extra = "--fast";
  EXPECT_EQ(StartDownloadImage(image.c_str(), 3, &HostCallback, second.c_str(), -4, 5,
                               extra.c_str()),
            37);
  EXPECT_EQ(StartDownloadImage(nullptr, 0, nullptr, nullptr, 0, 0, nullptr), 37);
  ASSERT_EQ(fakes.download.calls.size(), 2u);
  EXPECT_EQ(fakes.download.calls[0].arguments,
            (std::vector<std::string>{image, "3", Pointer(reinterpret_cast<void *>(&HostCallback)),
                                      second, "-4", "5", extra}));
  EXPECT_EQ(fakes.download.calls[1].arguments,
            (std::vector<std::string>{"", "0", Pointer(nullptr), "", "0", "0", ""}));
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

} // namespace
} // namespace qrx::test
