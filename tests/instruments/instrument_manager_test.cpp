// The instrument manager on a real hub and in a station: the address keys of the station,
// the transfer type, the type code of every tester model, the two libraries and their
// messages, and Unload in each state.
#include "hub/qrx_test_tools.h"
#include "instrument_fixture.h"
#include "instruments/instrument_manager.h"
#include "interface/station_registry.h"

#include <qrx/instrument_library.h>
#include <qrx/qrx_interface.h>

#include "platform/host_process.h"

#include <algorithm>
#include <memory>
#include <string>

namespace qrx {
namespace {

using test::Boxes;

struct HubRelease {
  void operator()(CQRXTestTools *hub) const { hub->Release(); }
};

class ManagerTest : public test::InstrumentFixture {
protected:
  void SetUp() override {
    InstrumentFixture::SetUp();
    WriteConfig("Station.xml", "<BASEINFO><nGPIBAddress1>0</nGPIBAddress1>"
                               "<nDeviceAddress1>14</nDeviceAddress1>"
                               "<nGPIBAddress0>2</nGPIBAddress0>"
                               "<nDeviceAddress0>5</nDeviceAddress0></BASEINFO>"
                               "<CommonConfig><TransferType>0</TransferType></CommonConfig>");
  }
  // A station hub seeded as InitQRXInterface seeds it; for a negative index a hub whose
  // parameters name only the configuration file, if there is one.
  std::unique_ptr<CQRXTestTools, HubRelease> Station(int threadIndex, const char *config) {
    std::unique_ptr<CQRXTestTools, HubRelease> hub(
        new CQRXTestTools(std::max(threadIndex, 0), config, nullptr));
    if (threadIndex >= 0) hub->Initialize();
    else if (*config) hub->GetParameterDataSet()->SetString("ConfigFile", config);
    return hub;
  }
};

// Which GPIB address the manager identifies: the keys of BASEINFO that end in the station's
// index plus one, read like atoi, 0 when missing; no identification at all when the transfer
// type is not GPIB.
TEST_F(ManagerTest, AddressKeysAndTransferTypeOfTheStation) {
  WriteConfig("Partial.xml", "<BASEINFO><nGPIBAddress4>abc</nGPIBAddress4></BASEINFO>");
  WriteConfig("Odd.xml", "<BASEINFO><nGPIBAddress1> 1x</nGPIBAddress1>"
                         "<nDeviceAddress1>+22.7</nDeviceAddress1></BASEINFO>");
  WriteConfig("Lan.xml", "<BASEINFO><nGPIBAddress1>-7</nGPIBAddress1></BASEINFO>"
                         "<SpecialSettings><TransferType>2</TransferType></SpecialSettings>");
  WriteConfig("Old.xml", "<BASEINFO><nDeviceAddress1>14</nDeviceAddress1></BASEINFO>");
  struct Case {
    const char *config;
    int threadIndex;
    const char *resource; // the one that answers, null: no GPIB traffic at all
    const char *model;
    int typeCode;
  } cases[] = {
      {"Station.xml", 0, "GPIB0::14::0::INSTR", "CMW500", QRX_INSTR_CMW},
      {"Partial.xml", 3, "GPIB0::0::0::INSTR", "SP6010", QRX_INSTR_SP6010},
      {"Absent.xml", 3, "GPIB0::0::0::INSTR", "SP6010", QRX_INSTR_SP6010},
      {"Odd.xml", 0, "GPIB1::22::0::INSTR", "CMU 200", QRX_INSTR_CMU200},
      {"Lan.xml", 0, nullptr, "", QRX_INSTR_CMW},
      // Without the entry the tester is on GPIB and is identified.
      {"Old.xml", 0, "GPIB0::14::0::INSTR", "MT8820C", QRX_INSTR_8820C},
      // Without a ThreadIndex entry the suffix is 0; without a file name both values are 0.
      {"Station.xml", -1, "GPIB2::5::0::INSTR", "E5515C", QRX_INSTR_E5515C},
      {"", -1, "GPIB0::0::0::INSTR", "SP6010", QRX_INSTR_SP6010},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.config);
    *visa = FakeVisaControl();
    // Another tester on the keys ending in 0, which index 0 must not use.
    visa->answers["GPIB2::5::0::INSTR"] = "Agilent,E5515C,1,2";
    if (c.resource) visa->answers[c.resource] = std::string("X,") + c.model + ",1,2";
    auto hub = Station(c.threadIndex, c.config);
    CInstrumentManager manager(hub.get());
    EXPECT_EQ(manager.Load(), 0);
    EXPECT_EQ(nsig->lastTypeCode, c.typeCode);
    if (!c.resource) {
      EXPECT_EQ(visa->calls, "");
    }
    EXPECT_EQ(manager.Unload(), 0);
  }
  EXPECT_TRUE(Boxes().empty());
}

// The model in the answer chooses the type code and the library (the PXI tester's own); where a
// model names several, the earlier entry of the search wins.
TEST_F(ManagerTest, ModelChoosesTypeCodeAndLibrary) {
  const struct {
    const char *model;
    int typeCode;
  } cases[] = {{"CMU 200", 0},     {"E5515C", 1},       {"HP6601A", 2},        {"MT8820B", 3},
               {"4400M", 4},       {"cmw500", 5},       {"PXI3000", 6},        {"sp6010", 7},
               {"TD-LTE tester", 9}, {"SP8010B", 9},    {"MT8820C", 10},       {"Spectrum 9000", 11},
               {"8820B-CMW", 3},   {"CMW 4400", 4},     {"8820C/8820B", 3},    {"CMW-PXI3000", 5},
               {"cmu 200 cmw", 0}, {"SP8010B TD-LTE", 9}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.model);
    *nsig = *pxi = FakeInstrumentControl();
    visa->answers["GPIB0::14::0::INSTR"] = std::string("Maker,") + c.model + ",1,2";
    auto hub = Station(0, "Station.xml");
    CInstrumentManager manager(hub.get());
    ASSERT_EQ(manager.Load(), 0);
    EXPECT_EQ(manager.TypeCode(), c.typeCode);
    FakeInstrumentControl *used = c.typeCode == QRX_INSTR_PXI3000 ? pxi : nsig;
    FakeInstrumentControl *unused = c.typeCode == QRX_INSTR_PXI3000 ? nsig : pxi;
    EXPECT_EQ(used->lastTypeCode, c.typeCode);
    EXPECT_EQ(used->live, 1);
    EXPECT_EQ(unused->lastTypeCode, -1);
    EXPECT_EQ(manager.Unload(), 0);
    EXPECT_EQ(used->live, 0);
  }
}

// No tester identified, or no library to load: nothing is held, one message says why.
TEST_F(ManagerTest, FailedDetectionOrLibraryLoadsNothing) {
  auto hub = Station(0, "Station.xml");
  for (int result : {-1, 1}) {
    SCOPED_TRACE(result);
    test::ClearBoxes();
    if (result == 1) {
      visa->answers["GPIB0::14::0::INSTR"] = "M,CMW,1,2";
      std::filesystem::remove(NsigFile());
    }
    CInstrumentManager manager(hub.get());
    EXPECT_EQ(manager.Load(), result);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, result == 1 ? test::kLibraryLoadFailed : test::kTesterUnreachable);
    EXPECT_FALSE(manager.HoldsLibrary());
    EXPECT_EQ(nsig->live, 0);
    EXPECT_EQ(manager.Unload(), 1);
  }
}

// A hub that hands out no detection service; everything else comes from a real one.
class HubWithoutDetection final : public ITestTools {
public:
  explicit HubWithoutDetection(ITestTools *real) : real_(real) {}
  void *Reserved0() override { return nullptr; }
  void Release() override {}
  IDataSet *GetParameterDataSet() override { return real_->GetParameterDataSet(); }
  IDataSet *GetResultDataSet() override { return real_->GetResultDataSet(); }
  ILogService *GetLogService() override { return real_->GetLogService(); }
  ILocaleService *GetLocaleService() override { return real_->GetLocaleService(); }
  IAccountService *GetAccountService() override { return real_->GetAccountService(); }
  ISettingService *GetSettingService() override { return real_->GetSettingService(); }
  void *Reserved8() override { return nullptr; }
  void *Reserved9() override { return nullptr; }
  void *Reserved10() override { return nullptr; }
  IInstrumentDetectService *GetInstrumentDetectService() override { return nullptr; }
  int InputSerialNumber(std::string *) override { return -1; }
  HWND GetParentWindow() override { return nullptr; }
  void *Reserved14() override { return nullptr; }
  IPackageManagerService *GetPackageManagerService() override { return nullptr; }
  void *Reserved16() override { return nullptr; }
  int InputSerialNumberMatching(std::string *, const std::string *) override { return -1; }
  int Reserved18(int, int, int, int) override { return 0; }
  int RegisterLogObserver(ILogObserver *) override { return 0; }
  int UnregisterLogObserver(ILogObserver *) override { return 0; }

private:
  ITestTools *real_;
};

TEST_F(ManagerTest, NoDetectionServiceOrEntryPoint) {
  WriteConfig("Lan.xml", "<CommonConfig><TransferType>1</TransferType></CommonConfig>");
  auto real = Station(0, "Lan.xml");
  HubWithoutDetection silent(real.get());
  CInstrumentManager undetected(&silent);
  EXPECT_EQ(undetected.Load(), 1) << "even when no identification would be needed";
  EXPECT_TRUE(Boxes().empty());
  EXPECT_FALSE(undetected.HoldsLibrary());
  CInstrumentManager orphan(nullptr);
  EXPECT_EQ(orphan.Load(), 1);
  // A library without the entry point leaves the manager half loaded.
  visa->answers["GPIB0::14::0::INSTR"] = "M,CMW,1,2";
  // A new file under the library's name (a loaded library's file cannot be replaced on Windows).
  platform::FreeLibrary(held_[1]);
  held_[1] = nullptr;
  std::filesystem::remove(NsigFile());
  std::filesystem::copy_file(QRX_FAKE_INCOMPLETE, NsigFile());
  auto hub = Station(0, "Station.xml");
  CInstrumentManager manager(hub.get());
  EXPECT_EQ(manager.Load(), 1);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, test::kEntryMissing);
  EXPECT_TRUE(manager.HoldsLibrary());
  EXPECT_FALSE(manager.HoldsInstrument());
  EXPECT_EQ(manager.Unload(), 1);
  EXPECT_TRUE(manager.HoldsLibrary()) << "Unload leaves a half-loaded library alone";
  EXPECT_EQ(manager.InstrumentCall1(1, 2, 3), 1);
  // A further Load gives the earlier reference back before taking a new one.
  EXPECT_EQ(manager.Load(), 1);
  EXPECT_TRUE(manager.HoldsLibrary());

  // The manager keeps that reference for good. The loader knows the library by the relative
  // name it was opened with, so later tests (other directories, same name) would be handed
  // this copy without an entry point: give the reference back here.
  namespace host = platform::host;
  void *kept = host::OpenLoadedLibrary(NsigFile().string());
  ASSERT_NE(kept, nullptr);
  host::CloseLibrary(kept);
  host::CloseLibrary(kept);
  EXPECT_EQ(host::OpenLoadedLibrary(NsigFile().string()), nullptr)
      << "only the manager held the library";
}

// Calls reach the instrument by table position only while it is loaded; Unload in each state.
TEST_F(ManagerTest, CallsAndUnloadInEachState) {
  visa->answers["GPIB0::14::0::INSTR"] = "M,CMW,1,2";
  auto hub = Station(0, "Station.xml");
  CInstrumentManager manager(hub.get());
  EXPECT_EQ(manager.Unload(), 1) << "empty";
  EXPECT_EQ(manager.InstrumentCall1(1, 2, 3), 1);
  EXPECT_EQ(manager.InstrumentCall2(1, 2, 3), 1);
  EXPECT_EQ(manager.InstrumentCall3(1, 2), 1);
  ASSERT_EQ(manager.Load(), 0);
  ASSERT_EQ(manager.Load(), 0);
  EXPECT_EQ(nsig->live, 1) << "a second Load gives the first instrument back";
  EXPECT_EQ(manager.InstrumentCall1(1, 2, 3), 10203);
  EXPECT_EQ(manager.InstrumentCall1(-2, 0, 0), -20000) << "a negative result keeps its sign";
  EXPECT_EQ(manager.InstrumentCall2(3, 2, 1), -30201);
  EXPECT_EQ(manager.InstrumentCall3(4, -5), 395);
  nsig->status = 42;
  EXPECT_EQ(manager.Unload(), 0) << "loaded: the library was freed";
  EXPECT_TRUE(nsig->calls.ends_with("status\nrelease\n")) << "status asked, then released";
  EXPECT_EQ(nsig->live, 0);
  EXPECT_FALSE(manager.HoldsLibrary());
  EXPECT_EQ(manager.Unload(), 1) << "empty again";
  EXPECT_EQ(manager.InstrumentCall3(4, -5), 1);
}

// Every station gets an instrument manager from the factory, whatever its product type, and
// it stays unloaded until someone calls Load.
TEST_F(ManagerTest, BothProductTypesGetAnUnloadedManager) {
  folder_->DeployPlugins(QRX_TEST_PLUGIN);
  folder_->DeployTestLibraries(QRX_TEST_LIBRARY);
  WriteConfig("Station.xml", "<BASEINFO><nGPIBAddress3>1</nGPIBAddress3>"
                             "<nDeviceAddress3>20</nDeviceAddress3></BASEINFO>"
                             "<CommonConfig><TransferType>0</TransferType></CommonConfig>");
  visa->answers["GPIB1::20::0::INSTR"] = "Anritsu,MT8820C,1,2";
  for (const char *product : {"QRX", "UFI"}) {
    const std::string before = visa->calls;
    ASSERT_EQ(InitQRXInterface(2, "Station.xml", product), 0) << product;
    StationContext s;
    ASSERT_TRUE(FindStation(&s));
    ASSERT_NE(s.instrumentManager, nullptr) << product;
    EXPECT_EQ(visa->calls, before) << "creating a station touches no instrument";
    EXPECT_EQ(nsig->live, 0);
    // The manager reads the station's own seeded parameters: index 2 uses the keys ending in 3.
    EXPECT_EQ(s.instrumentManager->Load(), 0) << product;
    EXPECT_EQ(nsig->lastTypeCode, QRX_INSTR_8820C);
    EXPECT_EQ(s.instrumentManager->Unload(), 0);
    EXPECT_EQ(CleanUpQRXInterface(), 0);
    *nsig = FakeInstrumentControl();
  }
}

} // namespace
} // namespace qrx
