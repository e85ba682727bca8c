// The simulated station's components, driven directly: test libraries through a fake hub,
// plug-in objects and the instrument library by table position, the simulated VISA, and the
// host tools' view of the exports.
#include "fake_hub.h"

#include "common/call_dispatcher.h"
#include "common/export_catalogue_view.h"

#include <qrx/instrument_library.h>
#include <qrx/plugin_boundary.h>

#include "platform/host_process.h"
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <string>

using qrx::simtest::FakeHub;

namespace {

const std::string kStation = QRX_TEST_STATION_DIR;

namespace host = qrx::platform::host;

// A library of the simulated station, by its file name there.
class Library {
public:
  explicit Library(const std::string &file)
      : handle_(host::OpenLibrary(kStation + "/" + file, false, nullptr)) {}
  ~Library() { host::CloseLibrary(handle_); }
  bool Loaded() const { return handle_ != nullptr; }
  int Call(const char *function, ITestTools *hub) const {
    auto fn = reinterpret_cast<int (*)(ITestTools *)>(host::FindSymbol(handle_, function));
    return fn ? fn(hub) : -100;
  }
  void *Symbol(const char *name) const { return host::FindSymbol(handle_, name); }

private:
  void *handle_;
};

class SimStation : public qrx::simtest::StateFolder {
protected:
  void SetUp() override {
    StateFolder::SetUp();
    hub_.params.values["ThreadIndex"] = "0";
  }
  FakeHub hub_;
};

template <typename R, typename... A> R At(void *object, int position, A... args) {
  auto table = *static_cast<void *const *const *>(object);
  return reinterpret_cast<R(QRX_MEMBER *)(void *, A...)>(table[position])(object, args...);
}

TEST_F(SimStation, MeasurementsUseStagedLimitsAndReportVerdicts) {
  Library td(std::string("TestDll/TDFT") + host::LibrarySuffix());
  ASSERT_TRUE(td.Loaded());
  hub_.Stage("TDFT", "nMaxPowerUpper", "26");
  hub_.Stage("TDFT", "nMaxPowerLower", "20");
  hub_.Stage("TDFT", "nStep", "1");
  EXPECT_EQ(td.Call("TxMaxPwr", &hub_), 0);
  ASSERT_EQ(hub_.log.items.size(), 1u);
  EXPECT_EQ(hub_.log.items[0].item, "TxMaxPwr MaxPower");
  EXPECT_EQ(hub_.log.items[0].upper, 26);
  EXPECT_EQ(hub_.log.items[0].lower, 20);
  EXPECT_TRUE(hub_.log.items[0].passed);
  // Limits that the healthy device cannot meet give a failed item and the failure code.
  hub_.Stage("TDFT", "nMaxPowerUpper", "10");
  hub_.Stage("TDFT", "nMaxPowerLower", "5");
  EXPECT_EQ(td.Call("TxMaxPwr", &hub_), 2);
  EXPECT_FALSE(hub_.log.items.back().passed);
  // A missing staged input is reported without measuring.
  hub_.params.values.erase("TDFT_nStep");
  EXPECT_EQ(td.Call("TxMaxPwr", &hub_), 3);
  EXPECT_EQ(hub_.log.items.size(), 2u);
  hub_.Stage("TDFT", "nStep", "abc");
  EXPECT_EQ(td.Call("TxMaxPwr", &hub_), 3);
}

TEST_F(SimStation, LteMaxPowerSkipsItemsAndUsesSymmetricLimits) {
  Library lte(std::string("TestDll/FinalTestLTE") + host::LibrarySuffix());
  const std::pair<const char *, const char *> staged[] = {
      {"MaxPwrLmtUpp", "25.000000"}, {"MaxPwrLmtLow", "21.000000"}, {"FreqErrorLimit", "50"},
      {"OBWLimit", "10"},            {"LteModulation", "0"},        {"TestRBsList", "1,50"},
      {"SkipMaxPwr", "0"},           {"SkipEvm", "1"},              {"SkipPcde", "0"},
      {"SkipFer", "0"},              {"SkipAclr", "1"},             {"SkipSem", "1"},
      {"SkipObw", "0"},              {"EVMLimitQPSK", "17.5"},      {"EVMLimit16QAM", "12.5"},
      {"ACLRLimitEUTRA", "-30"},     {"ACLRLimitUTRA1", "-33"},     {"ACLRLimitUTRA2", "-36"}};
  for (const auto &[key, value] : staged) hub_.Stage("LTEFT", key, value);
  EXPECT_EQ(lte.Call("LteTest_MaxPwrAll", &hub_), 0);
  ASSERT_EQ(hub_.log.items.size(), 3u); // MaxPower, FreqError, OBW; EVM, ACLR and SEM skipped
  EXPECT_EQ(hub_.log.items[0].upper, 25);
  EXPECT_EQ(hub_.log.items[1].item, "LteTest_MaxPwrAll FreqError");
  EXPECT_EQ(hub_.log.items[1].lower, -50);
  EXPECT_EQ(hub_.log.items[1].upper, 50);
}

TEST_F(SimStation, BarcodeChecksReadTheProgrammedSerialNumber) {
  Library lte(std::string("TestDll/FinalTestLTE") + host::LibrarySuffix());
  Library cal(std::string("TestDll/TestDllQRXCal") + host::LibrarySuffix());
  ASSERT_EQ(lte.Call("CheckBarcode", &hub_), 0);
  EXPECT_EQ(hub_.results.values["Sn"], "FFFFFFFFFFFF");
  void *phone = nullptr;
  Library plugin(std::string("Plugins/BI_QRX") + host::LibrarySuffix());
  auto load = reinterpret_cast<QRXPluginLoadQRXDllFn>(plugin.Symbol("LoadQRXDll"));
  ASSERT_TRUE(load);
  phone = load(0);
  EXPECT_EQ((At<int, const char *, int, int>(phone, qrx::plugin::kPhoneWriteSnFirstCopy, "SN0042", 0, 0)), 0);
  ASSERT_EQ(cal.Call("Check_SN", &hub_), 0);
  EXPECT_EQ(hub_.results.values["Sn"], "SN0042");
  At<int>(phone, qrx::plugin::kSnRelease);
}

TEST_F(SimStation, BoardBarcodeIsAskedFromTheOperatorWithItsLength) {
  Library wifi(std::string("TestDll/WiFi_DLL") + host::LibrarySuffix());
  hub_.Stage("WifiCal", "BOARDNUMLENTH", "8");
  EXPECT_EQ(wifi.Call("Read_Barcode", &hub_), 4); // cancelled
  hub_.promptAnswers = {"AB12CD34"};
  EXPECT_EQ(wifi.Call("Read_Barcode", &hub_), 0);
  EXPECT_EQ(hub_.prompts.back(), "^[0-9A-Za-z]{8}$");
  EXPECT_EQ(hub_.results.values["Sn"], "AB12CD34");
}

TEST_F(SimStation, UfiPluginChecksMacAndDerivesTheSsid) {
  Library plugin(std::string("Plugins/BI_QRX_UFI_NET") + host::LibrarySuffix());
  auto load = reinterpret_cast<QRXPluginLoadQRXDllFn>(plugin.Symbol("LoadQRXDll"));
  ASSERT_TRUE(load);
  void *sn = load(0);
  using namespace qrx::plugin;
  EXPECT_EQ((At<int, int>(sn, kUfiWriteSsid, 0)), 0); // no MAC yet
  EXPECT_EQ((At<int, std::string, int, int>(sn, kUfiWriteMac, std::string("12345"), 0, 0)), 0);
  EXPECT_EQ((At<int, std::string, int, int>(sn, kUfiWriteMac, std::string("888888KLMNP8"), 0, 0)), 1);
  EXPECT_EQ((At<int, int>(sn, kUfiWriteSsid, 0)), 1);
  std::string ssid;
  EXPECT_EQ((At<int, std::string &, int>(sn, kUfiReadSsid, ssid, 0)), 1);
  EXPECT_EQ(ssid, "QRX-UFI-KLMNP8");
  EXPECT_EQ((At<int, int>(sn, kUfiPortCheck2, 0)), 1);
  std::ofstream(dir_ / "device-0.ini", std::ios::app) << "Faults=PortCheck2\n";
  EXPECT_EQ((At<int, int>(sn, kUfiPortCheck2, 0)), 0);
  At<int>(sn, kSnRelease);
}

TEST_F(SimStation, InstrumentLibraryAnswersThePositionsTheManagerUses) {
  Library lib(std::string("TestDll/QRXNSigInstrument") + host::LibrarySuffix());
  auto get = reinterpret_cast<QRXGetInstrumentInterfaceFn>(lib.Symbol("GetQRXCalInstrInterface"));
  auto release = reinterpret_cast<QRXReleaseInstrumentFn>(lib.Symbol("ReleaseInstrument"));
  ASSERT_TRUE(get && release);
  EXPECT_EQ(get(12), nullptr);
  void *instrument = get(QRX_INSTR_CMW);
  ASSERT_NE(instrument, nullptr);
  EXPECT_EQ((At<int>(instrument, qrx::instrument::kUnloadStatus)), 0);
  EXPECT_EQ((At<int, int, int, int>(instrument, qrx::instrument::kCall1, 1, 62, -50)), 0);
  EXPECT_EQ((At<int, int, int, int>(instrument, qrx::instrument::kCall1, -1, 62, -50)), 1);
  EXPECT_EQ((At<int, int, int>(instrument, qrx::instrument::kCall3, 1, 12)), 0);
  release(instrument);
}

TEST_F(SimStation, VisaAnswersTheIdentificationOfConfiguredTesters) {
  std::string conf = (dir_ / "visa.conf").string();
  std::ofstream(conf) << "GPIB0::14::0::INSTR = Maker,CMU 200,1234,V1.0\nlist = PXI0::12::INSTR\n";
  qrx::test::ScopedEnvironment visaConfig("QRX_SIM_VISA_CONFIG", conf);
  Library visa(host::VisaLibraryFile());
  using Session = uint32_t;
  auto openRm = reinterpret_cast<int(QRX_VISA *)(Session *)>(visa.Symbol("viOpenDefaultRM"));
  auto open = reinterpret_cast<int(QRX_VISA *)(Session, const char *, uint32_t, uint32_t, Session *)>(visa.Symbol("viOpen"));
  auto query = reinterpret_cast<int (*)(Session, const char *, const char *, ...)>(visa.Symbol("viQueryf"));
  auto find = reinterpret_cast<int(QRX_VISA *)(Session, const char *, Session *, uint32_t *, char *)>(visa.Symbol("viFindRsrc"));
  auto next = reinterpret_cast<int(QRX_VISA *)(Session, char *)>(visa.Symbol("viFindNext"));
  ASSERT_TRUE(openRm && open && query && find && next);
  Session rm = 0, vi = 0, list = 0;
  ASSERT_EQ(openRm(&rm), 0);
  EXPECT_NE(open(rm, "GPIB0::15::0::INSTR", 0, 3000, &vi), 0);
  ASSERT_EQ(open(rm, "GPIB0::14::0::INSTR", 0, 3000, &vi), 0);
  char answer[260] = {};
  ASSERT_EQ(query(vi, "*IDN?\n", "%t", answer), 0);
  EXPECT_STREQ(answer, "Maker,CMU 200,1234,V1.0\n");
  EXPECT_NE(query(vi, "*RST\n", "%t", answer), 0);
  uint32_t count = 0;
  char description[256] = {};
  ASSERT_EQ(find(rm, "/?*", &list, &count, description), 0);
  EXPECT_EQ(count, 2u);
  EXPECT_STREQ(description, "GPIB0::14::0::INSTR");
  ASSERT_EQ(next(list, description), 0);
  EXPECT_STREQ(description, "PXI0::12::INSTR");
  EXPECT_NE(next(list, description), 0);
}

TEST(HostTools, EveryExportHasOneRowAndACallSignature) {
  const auto &rows = qrx::tools::ExportCatalogueView::Rows();
  std::set<std::string> names;
  for (const auto &row : rows) {
    EXPECT_TRUE(names.insert(row.name).second) << row.name;
    EXPECT_TRUE(qrx::tools::CallDispatcher::Supports(row.CallSignature())) << row.name;
    if (!qrx::tools::ExportCatalogueView::LibraryOfService(row.service).empty()) {
      EXPECT_FALSE(row.libraryFunction.empty()) << row.name;
    }
  }
  EXPECT_EQ(rows.size(), 252u);
  const auto *bs = qrx::tools::ExportCatalogueView::Find("Bs_Config_LTEFT");
  ASSERT_NE(bs, nullptr);
  EXPECT_EQ(bs->CallSignature(), "iiddiippiiiiiiiii");
  EXPECT_EQ(bs->staged.size(), 17u);
}

} // namespace
