// The exports that read a result back into the host's buffer or double, and the optional
// frequency offset of FDDLTE_AFC_Cal.
#include "export_fixture.h"

#include <cstring>

namespace qrx::test {
namespace {

size_t RowOf(const char *name) { return IndexOfExport(name); }

// Calls the serial-number read-back `name` with a buffer of '#' after the library left `sn`
// (nullptr: no "Sn" at all) and returned `libraryResult`.
struct SerialAnswer {
  int result;
  std::string buffer;
};
SerialAnswer ReadSerial(ExportStation &s, const char *name, const char *sn, int libraryResult) {
  if (sn)
    s.Tell("Recorder.Sn", sn);
  else
    s.Forget("Recorder.Sn");
  s.ReturnFromLibrary(libraryResult);
  RowArguments a;
  MakeArguments(kExportCatalogue[RowOf(name)], &a);
  a.call.ints[1] = 12; // ReadBarcode_Ufi's length
  const int result = CallExport(RowOf(name), a.call);
  return {result, std::string(a.buffers[0])};
}

class SerialCheck : public ::testing::TestWithParam<size_t> {};

TEST_P(SerialCheck, PlaceholderSerialAndCopiedTexts) {
  const ExportRow &row = kExportCatalogue[GetParam()];
  const char *name = row.name.data();
  ExportStation s;
  ASSERT_TRUE(s.Up());
  const bool variantA = row.shape == ExportShape::kSerialCheckA;

  SerialAnswer placeholder = ReadSerial(s, name, "FFFFFFFFFFFF", 0);
  EXPECT_EQ(placeholder.result, variantA ? 1 : 0);
  EXPECT_EQ(placeholder.buffer, kUntouched) << "the placeholder is never copied";

  SerialAnswer serial = ReadSerial(s, name, "SN0123456789", 0);
  EXPECT_EQ(serial.result, 0);
  EXPECT_EQ(serial.buffer, "SN0123456789");

  SerialAnswer none = ReadSerial(s, name, nullptr, 0);
  EXPECT_EQ(none.result, 0);
  EXPECT_EQ(none.buffer, "") << "a missing entry is copied as an empty text";

  SerialAnswer failed = ReadSerial(s, name, "SN0123456789", 9);
  EXPECT_EQ(failed.result, 9);
  EXPECT_EQ(failed.buffer, kUntouched);

  // Near-placeholders are serial numbers like any other.
  EXPECT_EQ(ReadSerial(s, name, "FFFFFFFFFFF", 0).buffer, "FFFFFFFFFFF");
  EXPECT_EQ(ReadSerial(s, name, "ffffffffffff", 0).buffer, "ffffffffffff");
}

TEST_P(SerialCheck, NullBufferIsNeverWritten) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  s.Tell("Recorder.Sn", "SN0123456789");
  ExportArguments a;
  a.ints[1] = 12;
  const int result = CallExport(GetParam(), a);
  EXPECT_NE(result, 0) << "nothing could be copied";
}

INSTANTIATE_TEST_SUITE_P(Catalogue, SerialCheck,
                         ::testing::ValuesIn(RowsWhere([](const ExportRow &row) {
                           return row.shape == ExportShape::kSerialCheckA ||
                                  row.shape == ExportShape::kSerialCheckB ||
                                  row.shape == ExportShape::kReadBarcode;
                         })),
                         &RowName);

TEST(ReadBarcodeUfi, CopiesEvenEmptyAndPlaceholderTexts) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  SerialAnswer none = ReadSerial(s, "ReadBarcode_Ufi", nullptr, 0);
  EXPECT_EQ(none.result, 0);
  EXPECT_EQ(none.buffer, "");
  SerialAnswer placeholder = ReadSerial(s, "ReadBarcode_Ufi", "FFFFFFFFFFFF", 0);
  EXPECT_EQ(placeholder.result, 0);
  EXPECT_EQ(placeholder.buffer, "FFFFFFFFFFFF");
  EXPECT_EQ(s.Record().saw.at(s.Names().at({"WifiCal", "BOARDNUMLENTH"})), "12");
}

TEST(SerialReadBack, TextLongerThanTheHostBufferBoundIsCutThere) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  const std::string longSerial(QRX_SERIAL_BUFFER_SIZE * 3, 'S');
  s.Tell("Recorder.Sn", longSerial);
  for (const char *name : {"Check_SN", "CheckBarcode_GSMFT", "ReadBarcode_Ufi"}) {
    std::vector<char> buffer(QRX_SERIAL_BUFFER_SIZE + 64, '#');
    ExportArguments a;
    a.buffers[0] = buffer.data();
    a.ints[1] = 12;
    CallExport(RowOf(name), a);
    const std::string written(buffer.data());
    EXPECT_LT(written.size(), static_cast<size_t>(QRX_SERIAL_BUFFER_SIZE)) << name;
    EXPECT_EQ(written, longSerial.substr(0, written.size())) << name;
    for (size_t i = QRX_SERIAL_BUFFER_SIZE; i < buffer.size(); ++i)
      ASSERT_EQ(buffer[i], '#') << name << ": written past the bound at " << i;
  }
}

TEST(LteReadPowerCabLoss, ReadsPowerOrLeavesTheDoubleAlone) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  double power = -777.25;
  s.Tell("Recorder.Power", "12.5");
  EXPECT_EQ(LTE_ReadPower_CabLoss(&power), 0);
  EXPECT_EQ(power, 12.5);

  s.Tell("Recorder.Power", "-3.25");
  EXPECT_EQ(LTE_ReadPower_CabLoss(&power), 0);
  EXPECT_EQ(power, -3.25);

  power = -777.25;
  s.Forget("Recorder.Power");
  EXPECT_EQ(LTE_ReadPower_CabLoss(&power), -1) << "no Power entry";
  EXPECT_EQ(power, -777.25);

  s.Tell("Recorder.Power", "12.5");
  s.ReturnFromLibrary(4);
  EXPECT_EQ(LTE_ReadPower_CabLoss(&power), 4);
  EXPECT_EQ(power, -777.25);

  s.ReturnFromLibrary(0);
  EXPECT_NE(LTE_ReadPower_CabLoss(nullptr), 0) << "no double to fill";
}

class FddLteAfcCal : public ::testing::Test {
protected:
  std::string Offset() const { return s.Names().at({"Cal", "TxPowerOffset"}); }
  ExportStation s;
};

TEST_F(FddLteAfcCal, FlagOneStagesTheZeroOffset) {
  ASSERT_TRUE(s.Up());
  EXPECT_EQ(FDDLTE_AFC_Cal(1), 0);
  EXPECT_EQ(s.Record().saw, (std::map<std::string, std::string>{{Offset(), "0.000000"}}));
  EXPECT_FALSE(s.HasParameter(Offset()));
}

TEST_F(FddLteAfcCal, OtherFlagsStageNothingButStillErase) {
  ASSERT_TRUE(s.Up());
  for (int flag : {2, 0, -1}) {
    s.ClearRecord();
    s.Tell(Offset(), "left by someone else");
    s.ReturnFromLibrary(23);
    EXPECT_EQ(FDDLTE_AFC_Cal(flag), 23) << flag;
    EXPECT_EQ(s.Record().saw.at(Offset()), "left by someone else") << "nothing staged over it";
    EXPECT_FALSE(s.HasParameter(Offset())) << "erased whatever the flag";
  }
}

TEST_F(FddLteAfcCal, MissingOffsetNameMattersOnlyForFlagOne) {
  ASSERT_TRUE(s.Up());
  StagingNames names = s.Names();
  names.erase({"Cal", "TxPowerOffset"});
  s.WriteCommon(names);
  s.ReturnFromLibrary(23);
  EXPECT_EQ(FDDLTE_AFC_Cal(1), 1);
  EXPECT_EQ(s.Record().calls, 0);
  EXPECT_EQ(FDDLTE_AFC_Cal(2), 23) << "no staging, so no staging name is needed";
  EXPECT_EQ(s.Record().calls, 1);
}

TEST_F(FddLteAfcCal, MissingCalibrationServiceAfterStaging) {
  ASSERT_TRUE(s.Up());
  StationFieldSwap without(RemoverOf(ExportService::kCal));
  EXPECT_EQ(FDDLTE_AFC_Cal(1), 1);
  EXPECT_EQ(s.Parameter(Offset()), "0.000000") << "staged first, left behind";
  EXPECT_EQ(FDDLTE_AFC_Cal(2), 1);
}

} // namespace
} // namespace qrx::test
