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
  const struct {
    const char *sn; // nullptr: no "Sn" at all
    int libraryResult, result;
    std::string buffer;
  } cases[] = {
      {"FFFFFFFFFFFF", 0, row.shape == ExportShape::kSerialCheckA ? 1 : 0,
       barcode ? "FFFFFFFFFFFF" : kUntouched},
      {"SN0123456789", 0, 0, "SN0123456789"},
      {nullptr, 0, 0, ""}, // a missing entry is copied as an empty text
      {"SN0123456789", 9, 9, kUntouched},
      // Near-placeholders are serial numbers like any other.
      {"FFFFFFFFFFF", 0, 0, "FFFFFFFFFFF"},
      {"ffffffffffff", 0, 0, "ffffffffffff"},
  };
  for (const auto &c : cases) {
    const SerialAnswer answer = ReadSerial(s, name, c.sn, c.libraryResult);
    EXPECT_EQ(answer.result, c.result) << (c.sn ? c.sn : "no Sn") << " " << c.libraryResult;
    EXPECT_EQ(answer.buffer, c.buffer) << (c.sn ? c.sn : "no Sn") << " " << c.libraryResult;
  }

  s.ClearRecord();
  ExportArguments null; // no buffer: nothing could be copied, nothing is called
  null.ints[1] = 12;
  EXPECT_EQ(CallExport(GetParam(), null), 1);
  EXPECT_EQ(s.Record().calls, 0);

  // The host's buffer holds QRX_READBACK_BUFFER_SIZE bytes: the longest text that fits is
  // copied whole, a longer one not at all (a cut serial number would name another device).
  for (size_t size : {QRX_READBACK_BUFFER_SIZE - 1, QRX_READBACK_BUFFER_SIZE}) {
    const std::string serial(size, 'S');
    s.Tell("Recorder.Sn", serial);
    std::vector<char> buffer(QRX_READBACK_BUFFER_SIZE + 64, '#');
    buffer.back() = '\0';
    ExportArguments a;
    a.buffers[0] = buffer.data();
    a.ints[1] = 12;
    const bool fits = size < QRX_READBACK_BUFFER_SIZE;
    EXPECT_EQ(CallExport(GetParam(), a), fits ? 0 : 1);
    EXPECT_EQ(fits ? std::string(buffer.data()) : std::string(1, buffer[0]), fits ? serial : "#");
    for (size_t i = QRX_READBACK_BUFFER_SIZE; i + 1 < buffer.size(); ++i)
      ASSERT_EQ(buffer[i], '#') << "written past the buffer at " << i;
  }
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

TEST(LteReadPowerCabLoss, ReadsPowerOrLeavesTheDoubleAlone) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  const struct {
    const char *power; // nullptr: no "Power" entry
    int libraryResult, result;
    double left;
  } cases[] = {{"12.5", 0, 0, 12.5}, {"-3.25", 0, 0, -3.25}, {nullptr, 0, -1, -777.25},
               {"12.5", 4, 4, -777.25}};
  for (const auto &c : cases) {
    double power = -777.25;
    if (c.power) s.Tell("Recorder.Power", c.power);
    else s.Forget("Recorder.Power");
    s.ReturnFromLibrary(c.libraryResult);
    EXPECT_EQ(LTE_ReadPower_CabLoss(&power), c.result) << (c.power ? c.power : "no Power");
    EXPECT_EQ(power, c.left) << (c.power ? c.power : "no Power");
  }
  s.ReturnFromLibrary(0);
  EXPECT_EQ(LTE_ReadPower_CabLoss(nullptr), 1) << "no double to fill";
}

// Flag 1 stages the zero offset; other flags stage nothing but still erase.
TEST(FddLteAfcCal, OnlyFlagOneStagesTheZeroOffsetButEveryFlagErases) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  const std::string offset = s.Names().at({"Cal", "TxPowerOffset"});
  EXPECT_EQ(FDDLTE_AFC_Cal(1), 0);
  EXPECT_EQ(s.Record().saw, (std::map<std::string, std::string>{{offset, "0.000000"}}));
  EXPECT_FALSE(s.HasParameter(offset));
  for (int flag : {2, 0, -1}) {
    s.ClearRecord();
    s.Tell(offset, "left by someone else");
    s.ReturnFromLibrary(23);
    EXPECT_EQ(FDDLTE_AFC_Cal(flag), 23) << flag;
    EXPECT_EQ(s.Record().saw.at(offset), "left by someone else") << "nothing staged over it";
    EXPECT_FALSE(s.HasParameter(offset)) << "erased whatever the flag";
  }
  // A missing staging name or service matters only for flag 1.
  StagingNames names = s.Names();
  names.erase({"Cal", "TxPowerOffset"});
  s.WriteCommon(names);
  s.ClearRecord();
  EXPECT_EQ(FDDLTE_AFC_Cal(1), 1);
  EXPECT_EQ(s.Record().calls, 0);
  EXPECT_EQ(FDDLTE_AFC_Cal(2), 23) << "no staging, so no staging name is needed";
  EXPECT_EQ(s.Record().calls, 1);

  s.WriteCommon(s.Names());
  StationFieldSwap without(RemoverOf(ExportService::kCal));
  EXPECT_EQ(FDDLTE_AFC_Cal(1), 1);
  EXPECT_EQ(s.Parameter(offset), "0.000000") << "staged first, left behind";
  EXPECT_EQ(FDDLTE_AFC_Cal(2), 1);
}

} // namespace
} // namespace qrx::test
