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
  // Variant A answers 1 for the placeholder, variant B 0, both without copying it;
  // ReadBarcode_Ufi copies it as any other text.
  const bool barcode = row.shape == ExportShape::kReadBarcode;
  SerialAnswer placeholder = ReadSerial(s, name, "FFFFFFFFFFFF", 0);
  EXPECT_EQ(placeholder.result, row.shape == ExportShape::kSerialCheckA ? 1 : 0);
  EXPECT_EQ(placeholder.buffer, barcode ? "FFFFFFFFFFFF" : kUntouched);

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

  s.ClearRecord();
  ExportArguments null; // no buffer: nothing could be copied, nothing is called
  null.ints[1] = 12;
  EXPECT_EQ(CallExport(GetParam(), null), 1);
  EXPECT_EQ(s.Record().calls, 0);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, SerialCheck,
                         ::testing::ValuesIn(RowsWhere([](const ExportRow &row) {
                           return row.shape == ExportShape::kSerialCheckA ||
                                  row.shape == ExportShape::kSerialCheckB ||
                                  row.shape == ExportShape::kReadBarcode;
                         })),
                         &RowName);

TEST(ReadBarcodeUfi, StagesTheLengthAndErasesItBeforeCopying) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  const std::string length = s.Names().at({"WifiCal", "BOARDNUMLENTH"});
  SerialAnswer none = ReadSerial(s, "ReadBarcode_Ufi", nullptr, 0);
  EXPECT_EQ(none.result, 0);
  EXPECT_EQ(none.buffer, "");
  EXPECT_EQ(s.Record().saw.at(length), "12");
  EXPECT_FALSE(s.HasParameter(length));
}

// The host's buffer holds QRX_READBACK_BUFFER_SIZE bytes: the longest text that fits is
// copied whole, a longer one not at all (a cut serial number would name another device).
TEST(SerialReadBack, TextThatDoesNotFitTheHostBufferIsNotCopied) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  const std::string fits(QRX_READBACK_BUFFER_SIZE - 1, 'S');
  const std::string tooLong(QRX_READBACK_BUFFER_SIZE, 'S');
  for (size_t row : RowsWhere([](const ExportRow &r) {
         return r.shape == ExportShape::kSerialCheckA || r.shape == ExportShape::kSerialCheckB ||
                r.shape == ExportShape::kReadBarcode;
       })) {
    SCOPED_TRACE(std::string(kExportCatalogue[row].name));
    for (const std::string *serial : {&fits, &tooLong}) {
      s.Tell("Recorder.Sn", *serial);
      std::vector<char> buffer(QRX_READBACK_BUFFER_SIZE + 64, '#');
      buffer.back() = '\0';
      ExportArguments a;
      a.buffers[0] = buffer.data();
      a.ints[1] = 12;
      const int result = CallExport(row, a);
      if (serial == &fits) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(std::string(buffer.data()), fits);
      } else {
        EXPECT_EQ(result, 1);
        EXPECT_EQ(buffer[0], '#') << "nothing copied";
      }
      for (size_t i = QRX_READBACK_BUFFER_SIZE; i + 1 < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], '#') << "written past the buffer at " << i;
    }
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
  EXPECT_EQ(LTE_ReadPower_CabLoss(nullptr), 1) << "no double to fill";
}

class FddLteAfcCal : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(s.Up()); }
  std::string Offset() const { return s.Names().at({"Cal", "TxPowerOffset"}); }
  ExportStation s;
};

// Flag 1 stages the zero offset; other flags stage nothing but still erase.
TEST_F(FddLteAfcCal, OnlyFlagOneStagesTheZeroOffsetButEveryFlagErases) {
  EXPECT_EQ(FDDLTE_AFC_Cal(1), 0);
  EXPECT_EQ(s.Record().saw, (std::map<std::string, std::string>{{Offset(), "0.000000"}}));
  EXPECT_FALSE(s.HasParameter(Offset()));
  for (int flag : {2, 0, -1}) {
    s.ClearRecord();
    s.Tell(Offset(), "left by someone else");
    s.ReturnFromLibrary(23);
    EXPECT_EQ(FDDLTE_AFC_Cal(flag), 23) << flag;
    EXPECT_EQ(s.Record().saw.at(Offset()), "left by someone else") << "nothing staged over it";
    EXPECT_FALSE(s.HasParameter(Offset())) << "erased whatever the flag";
  }
}

TEST_F(FddLteAfcCal, MissingOffsetNameOrServiceMattersOnlyForFlagOne) {
  StagingNames names = s.Names();
  names.erase({"Cal", "TxPowerOffset"});
  s.WriteCommon(names);
  s.ReturnFromLibrary(23);
  EXPECT_EQ(FDDLTE_AFC_Cal(1), 1);
  EXPECT_EQ(s.Record().calls, 0);
  EXPECT_EQ(FDDLTE_AFC_Cal(2), 23) << "no staging, so no staging name is needed";
  EXPECT_EQ(s.Record().calls, 1);

  s.WriteCommon(s.Names());
  StationFieldSwap without(RemoverOf(ExportService::kCal));
  EXPECT_EQ(FDDLTE_AFC_Cal(1), 1);
  EXPECT_EQ(s.Parameter(Offset()), "0.000000") << "staged first, left behind";
  EXPECT_EQ(FDDLTE_AFC_Cal(2), 1);
}

} // namespace
} // namespace qrx::test
