// Every station gets an instrument manager from the factory, whatever its product type, and
// it stays unloaded until someone calls Load.
#include "instrument_fixture.h"
#include "interface/station_registry.h"
#include "instruments/instrument_manager.h"

#include <qrx/instrument_library.h>
#include <qrx/qrx_interface.h>

namespace qrx {
namespace {

class InstrumentStationTest : public test::InstrumentFixture {
protected:
  void SetUp() override {
    InstrumentFixture::SetUp();
    folder_->DeployPlugins(QRX_TEST_PLUGIN);
    folder_->DeployTestLibraries(QRX_TEST_LIBRARY);
    WriteConfig("Station.xml", "<BASEINFO><nGPIBAddress3>1</nGPIBAddress3>"
                               "<nDeviceAddress3>20</nDeviceAddress3></BASEINFO>"
                               "<CommonConfig><TransferType>0</TransferType></CommonConfig>");
  }
  void TearDown() override {
    CleanUpQRXInterface();
    InstrumentFixture::TearDown();
  }
};

TEST_F(InstrumentStationTest, BothProductTypesGetAnUnloadedManager) {
  visaAnswer("GPIB1::20::0::INSTR", "Anritsu,MT8820C,1,2");
  for (const char *product : {"QRX", "UFI"}) {
    const std::string before = VisaCalls();
    ASSERT_EQ(InitQRXInterface(2, "Station.xml", product), 0) << product;
    StationContext s;
    ASSERT_TRUE(FindStation(&s));
    ASSERT_NE(s.instrumentManager, nullptr) << product;
    EXPECT_EQ(VisaCalls(), before) << "creating a station touches no instrument";
    EXPECT_EQ(nsig.live(), 0);
    // The manager reads the station's own seeded parameters: index 2 uses the keys ending in 3.
    EXPECT_EQ(s.instrumentManager->Load(), 0) << product;
    EXPECT_EQ(nsig.lastTypeCode(), QRX_INSTR_8820C);
    EXPECT_EQ(s.instrumentManager->Unload(), 0);
    EXPECT_EQ(CleanUpQRXInterface(), 0);
    nsig.reset();
  }
}

} // namespace
} // namespace qrx
