// The instrument manager on a real hub: the address keys of the station, the transfer type,
// the type code of every tester model, the two libraries and their messages, and Unload in
// each state.
#include "hub/qrx_test_tools.h"
#include "instrument_fixture.h"
#include "instruments/instrument_manager.h"

#include <qrx/instrument_library.h>

#include <dlfcn.h>

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
  // A station hub seeded as InitQRXInterface seeds it.
  std::unique_ptr<CQRXTestTools, HubRelease> Station(int threadIndex, const char *config) {
    std::unique_ptr<CQRXTestTools, HubRelease> hub(new CQRXTestTools(threadIndex, config, nullptr));
    hub->Initialize();
    return hub;
  }
};

TEST_F(ManagerTest, StationIndexSuffixesTheAddressKeys) {
  visaAnswer("GPIB0::14::0::INSTR", "R&S,CMW500,1,2");
  visaAnswer("GPIB2::5::0::INSTR", "Agilent,E5515C,1,2");
  auto hub = Station(0, "Station.xml");
  CInstrumentManager manager(hub.get());
  EXPECT_EQ(manager.Load(), 0);
  EXPECT_EQ(nsig.lastTypeCode(), QRX_INSTR_CMW) << "ThreadIndex 0 reads the keys ending in 1";
  EXPECT_EQ(manager.Unload(), 0);

  // Without a ThreadIndex entry the suffix is 0.
  std::unique_ptr<CQRXTestTools, HubRelease> bare(new CQRXTestTools(0, "Station.xml", nullptr));
  bare->GetParameterDataSet()->SetString("ConfigFile", "Station.xml");
  CInstrumentManager other(bare.get());
  EXPECT_EQ(other.Load(), 0);
  EXPECT_EQ(nsig.lastTypeCode(), QRX_INSTR_E5515C);
  EXPECT_EQ(other.Unload(), 0);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(ManagerTest, MissingAddressesAreZeroAndDetectionDecides) {
  visaAnswer("GPIB0::0::0::INSTR", "X,SP6010,1,2");
  WriteConfig("Partial.xml", "<BASEINFO><nGPIBAddress4>abc</nGPIBAddress4></BASEINFO>");
  for (const char *config : {"Partial.xml", "Absent.xml"}) {
    auto hub = Station(3, config);
    CInstrumentManager manager(hub.get());
    EXPECT_EQ(manager.Load(), 0) << config;
    EXPECT_EQ(nsig.lastTypeCode(), QRX_INSTR_SP6010);
    EXPECT_EQ(manager.Unload(), 0);
  }
  // A hub whose parameter set names no file at all.
  std::unique_ptr<CQRXTestTools, HubRelease> empty(new CQRXTestTools(0, "", nullptr));
  CInstrumentManager manager(empty.get());
  EXPECT_EQ(manager.Load(), 0);
  EXPECT_NE(VisaCalls().find("viOpen GPIB0::0::0::INSTR"), std::string::npos);
  EXPECT_EQ(manager.Unload(), 0);
}

TEST_F(ManagerTest, AddressValuesReadLikeAtoi) {
  WriteConfig("Odd.xml", "<BASEINFO><nGPIBAddress1> 1x</nGPIBAddress1>"
                         "<nDeviceAddress1>+22.7</nDeviceAddress1></BASEINFO>");
  visaAnswer("GPIB1::22::0::INSTR", "X,CMU 200,1,2");
  auto hub = Station(0, "Odd.xml");
  CInstrumentManager manager(hub.get());
  EXPECT_EQ(manager.Load(), 0);
  EXPECT_EQ(nsig.lastTypeCode(), QRX_INSTR_CMU200);
  manager.Unload();
}

struct ModelCase {
  const char *model;
  int typeCode;
  bool pxiLibrary;
};

void PrintTo(const ModelCase &c, std::ostream *out) { *out << '"' << c.model << '"'; }

class TypeCodeTest : public ManagerTest, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(TypeCodeTest, ModelChoosesTypeCodeAndLibrary) {
  const ModelCase &c = GetParam();
  visaAnswer("GPIB0::14::0::INSTR", (std::string("Maker,") + c.model + ",1,2").c_str());
  auto hub = Station(0, "Station.xml");
  CInstrumentManager manager(hub.get());
  ASSERT_EQ(manager.Load(), 0);
  EXPECT_EQ(manager.TypeCode(), c.typeCode);
  test::InstrumentCopy &used = c.pxiLibrary ? pxi : nsig;
  test::InstrumentCopy &unused = c.pxiLibrary ? nsig : pxi;
  EXPECT_EQ(used.lastTypeCode(), c.typeCode);
  EXPECT_EQ(used.live(), 1);
  EXPECT_EQ(unused.lastTypeCode(), -1);
  EXPECT_EQ(manager.Unload(), 0);
  EXPECT_EQ(used.live(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    EveryModel, TypeCodeTest,
    ::testing::Values(ModelCase{"CMU 200", 0, false}, ModelCase{"E5515C", 1, false},
                      ModelCase{"HP6601A", 2, false}, ModelCase{"MT8820B", 3, false},
                      ModelCase{"4400M", 4, false}, ModelCase{"cmw500", 5, false},
                      ModelCase{"PXI3000", 6, true}, ModelCase{"sp6010", 7, false},
                      ModelCase{"TD-LTE tester", 9, false}, ModelCase{"SP8010B", 9, false},
                      ModelCase{"MT8820C", 10, false}, ModelCase{"Spectrum 9000", 11, false},
                      // The earlier entry of the search wins.
                      ModelCase{"8820B-CMW", 3, false}, ModelCase{"CMW 4400", 4, false},
                      ModelCase{"8820C/8820B", 3, false}, ModelCase{"CMW-PXI3000", 5, false},
                      ModelCase{"cmu 200 cmw", 0, false}, ModelCase{"SP8010B TD-LTE", 9, false}));

TEST_F(ManagerTest, TransferTypeOtherThanGpibSkipsIdentification) {
  WriteConfig("Lan.xml", "<BASEINFO><nGPIBAddress1>-7</nGPIBAddress1></BASEINFO>"
                         "<SpecialSettings><TransferType>2</TransferType></SpecialSettings>");
  auto hub = Station(0, "Lan.xml");
  CInstrumentManager manager(hub.get());
  EXPECT_EQ(manager.Load(), 0);
  EXPECT_EQ(nsig.lastTypeCode(), QRX_INSTR_CMW);
  EXPECT_EQ(VisaCalls(), "") << "no GPIB traffic at all";
  EXPECT_EQ(manager.Unload(), 0);

  // Without the entry the tester is on GPIB and is identified.
  WriteConfig("Old.xml", "<BASEINFO><nDeviceAddress1>14</nDeviceAddress1></BASEINFO>");
  visaAnswer("GPIB0::14::0::INSTR", "A,MT8820C,1,2");
  auto old = Station(0, "Old.xml");
  CInstrumentManager oldManager(old.get());
  EXPECT_EQ(oldManager.Load(), 0);
  EXPECT_EQ(nsig.lastTypeCode(), QRX_INSTR_8820C);
  EXPECT_EQ(oldManager.Unload(), 0);
}

TEST_F(ManagerTest, FailedDetectionLoadsNothing) {
  auto hub = Station(0, "Station.xml");
  CInstrumentManager manager(hub.get());
  EXPECT_EQ(manager.Load(), -1);
  EXPECT_EQ(Boxes().size(), 1u) << "the detection's own message";
  EXPECT_FALSE(manager.HoldsLibrary());
  EXPECT_EQ(nsig.live(), 0);
  EXPECT_EQ(manager.Unload(), 1);
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

TEST_F(ManagerTest, NoDetectionServiceIsASilentOne) {
  WriteConfig("Lan.xml", "<CommonConfig><TransferType>1</TransferType></CommonConfig>");
  auto real = Station(0, "Lan.xml");
  HubWithoutDetection hub(real.get());
  CInstrumentManager manager(&hub);
  EXPECT_EQ(manager.Load(), 1) << "even when no identification would be needed";
  EXPECT_TRUE(Boxes().empty());
  EXPECT_FALSE(manager.HoldsLibrary());
  CInstrumentManager orphan(nullptr);
  EXPECT_EQ(orphan.Load(), 1);
}

TEST_F(ManagerTest, LibraryThatWillNotLoad) {
  visaAnswer("GPIB0::14::0::INSTR", "M,CMW,1,2");
  auto hub = Station(0, "Station.xml");
  CInstrumentManager manager(hub.get());
  std::filesystem::remove(NsigFile());
  EXPECT_EQ(manager.Load(), 1);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, test::kLibraryLoadFailed);
  EXPECT_EQ(Boxes()[0].caption, "QRXInterface");
  EXPECT_FALSE(manager.HoldsLibrary());
  EXPECT_EQ(manager.Unload(), 1);
}

TEST_F(ManagerTest, MissingEntryPointLeavesTheManagerHalfLoaded) {
  visaAnswer("GPIB0::14::0::INSTR", "M,CMW,1,2");
  // A new file under the library's name (the test keeps the old one open by its inode).
  std::filesystem::remove(NsigFile());
  std::filesystem::copy_file(QRX_FAKE_INSTRUMENT_NO_ENTRY, NsigFile());
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
  void *kept = ::dlopen("./TestDll/QRXNSigInstrument.so", RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(kept, nullptr);
  ::dlclose(kept);
  ::dlclose(kept);
  EXPECT_EQ(::dlopen("./TestDll/QRXNSigInstrument.so", RTLD_NOW | RTLD_NOLOAD), nullptr)
      << "only the manager held the library";
}

TEST_F(ManagerTest, UnloadInEachState) {
  visaAnswer("GPIB0::14::0::INSTR", "M,CMW,1,2");
  auto hub = Station(0, "Station.xml");
  CInstrumentManager manager(hub.get());
  EXPECT_EQ(manager.Unload(), 1) << "empty";
  ASSERT_EQ(manager.Load(), 0);
  nsig.setStatus(42);
  EXPECT_EQ(manager.Unload(), 0) << "loaded: the library was freed";
  EXPECT_EQ(std::string(nsig.calls()), "status\nrelease\n");
  EXPECT_EQ(nsig.live(), 0);
  EXPECT_FALSE(manager.HoldsLibrary());
  EXPECT_EQ(manager.Unload(), 1) << "empty again";
  EXPECT_EQ(std::string(nsig.calls()), "status\nrelease\n");
}

TEST_F(ManagerTest, CallsPassThroughByPositionOnlyWhenLoaded) {
  visaAnswer("GPIB0::14::0::INSTR", "M,CMW,1,2");
  auto hub = Station(0, "Station.xml");
  CInstrumentManager manager(hub.get());
  EXPECT_EQ(manager.InstrumentCall1(1, 2, 3), 1);
  EXPECT_EQ(manager.InstrumentCall2(1, 2, 3), 1);
  EXPECT_EQ(manager.InstrumentCall3(1, 2), 1);
  ASSERT_EQ(manager.Load(), 0);
  EXPECT_EQ(manager.InstrumentCall1(1, 2, 3), 10203);
  EXPECT_EQ(manager.InstrumentCall1(-2, 0, 0), -20000) << "a negative result keeps its sign";
  EXPECT_EQ(manager.InstrumentCall2(3, 2, 1), -30201);
  EXPECT_EQ(manager.InstrumentCall3(4, -5), 395);
  EXPECT_EQ(std::string(nsig.calls()), "call1 1 2 3\ncall1 -2 0 0\ncall2 3 2 1\ncall3 4 -5\n");
  EXPECT_EQ(manager.Unload(), 0);
  EXPECT_EQ(manager.InstrumentCall3(4, -5), 1);
}

TEST_F(ManagerTest, SecondLoadGivesTheFirstInstrumentBack) {
  visaAnswer("GPIB0::14::0::INSTR", "M,CMW,1,2");
  auto hub = Station(0, "Station.xml");
  CInstrumentManager manager(hub.get());
  ASSERT_EQ(manager.Load(), 0);
  ASSERT_EQ(manager.Load(), 0);
  EXPECT_EQ(nsig.live(), 1) << "the first instrument was released";
  EXPECT_EQ(manager.Unload(), 0);
  EXPECT_EQ(nsig.live(), 0);
}

} // namespace
} // namespace qrx
