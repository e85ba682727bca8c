// Every export that calls a test library, row by row of the catalogue: the texts staged under
// their names, the library function reached, the result handed back, the entries gone
// afterwards, and the answers without a station, a service, a staging name or a function. Then
// the exports that read a result back into the host's buffer or double, and the optional
// frequency offset of FDDLTE_AFC_Cal.
#include "export_fixture.h"

#include <climits>
#include <limits>
#include <thread>

namespace qrx::test {
namespace {

class LibraryRow : public ::testing::TestWithParam<size_t> {
protected:
  const ExportRow &Row() const { return kExportCatalogue[GetParam()]; }
  int Call(const RowArguments &a) const { return CallExport(GetParam(), a.call); }
  bool IsReadBack() const {
    return Row().shape == ExportShape::kSerialCheckA || Row().shape == ExportShape::kSerialCheckB ||
           Row().shape == ExportShape::kReadBarcode || Row().shape == ExportShape::kReadPower;
  }
};

TEST_P(LibraryRow, StagesItsArgumentsCallsItsFunctionAndErasesThemAgain) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  RowArguments a;
  MakeArguments(Row(), &a);
  // An entry of a staging name that existed before the call is replaced, then gone.
  for (const StagedEntry &e : Row().staged) s.Tell(s.NameOf(e), "left by someone else");
  s.ReturnFromLibrary(37);

  EXPECT_EQ(Call(a), 37) << "the library's own result comes back unchanged";

  const Recorded r = s.Record();
  ASSERT_EQ(r.calls, 1);
  EXPECT_EQ(r.function, Row().libraryFunction);
  EXPECT_EQ(r.library, LibraryFileOf(Row().service));
  EXPECT_EQ(r.saw, s.Staged(Row(), a)) << "exactly the row's entries, each with its own text";
  EXPECT_TRUE(s.PresentNames().empty()) << "staged entries are erased after the call";
  if (IsReadBack()) ExpectOutputsUntouched(Row(), a);

  // Extreme numbers are staged as the full printf text, whatever its length.
  const int32_t ints[] = {INT_MIN, INT_MAX, 0, -5, INT_MIN + 1};
  const double doubles[] = {1e300, std::numeric_limits<double>::quiet_NaN(),
                            -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::max()};
  // Any other result of the library is passed through (read-backs give 0 a meaning of their own).
  const int results[] = {0, 1, -1, INT_MIN, INT_MAX};
  for (size_t v = 0; v < std::size(ints); ++v) {
    RowArguments extreme;
    MakeArguments(Row(), &extreme, {&ints[v], &doubles[v], false});
    s.ClearRecord();
    s.ReturnFromLibrary(results[v]);
    const int answer = Call(extreme);
    if (!IsReadBack()) {
      EXPECT_EQ(answer, results[v]);
    }
    const Recorded er = s.Record();
    ASSERT_EQ(er.calls, 1);
    EXPECT_EQ(er.saw, s.Staged(Row(), extreme));
    EXPECT_TRUE(s.PresentNames().empty());
  }

  // Without a station or a service: 1, in the row's order.
  int result = 0;
  std::thread([&] { result = Call(a); }).join();
  EXPECT_EQ(result, 1) << "a thread without a station";
  EXPECT_TRUE(s.PresentNames().empty()) << "touches no station";
  s.ClearRecord();
  StationFieldSwap without(RemoverOf(Row().service));
  ASSERT_TRUE(without.Active());
  EXPECT_EQ(Call(a), 1);
  EXPECT_EQ(s.Record().calls, 0);
  const bool stagingFirst = Row().order == StagingOrder::kStagingFirst;
  EXPECT_EQ(s.PresentNames(), s.Staged(Row(), a, stagingFirst ? kMaxArguments : 0))
      << "staging-first leaves all its entries behind, service-first stages nothing";
  ExpectOutputsUntouched(Row(), a);
}

// The bare library lacks every function, though a library it depends on has them all.
TEST_P(LibraryRow, MissingFunctionAnswersMinusOneAndStillErases) {
  ExportStation s(QRX_BARE_LIBRARY);
  ASSERT_TRUE(s.Up());
  RowArguments a;
  MakeArguments(Row(), &a);
  for (const StagedEntry &e : Row().staged) s.Tell(s.NameOf(e), "left by someone else");
  EXPECT_EQ(Call(a), -1);
  EXPECT_TRUE(s.PresentNames().empty()) << "the call was reached, so everything is unstaged";
  ExpectOutputsUntouched(Row(), a);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, LibraryRow, ::testing::ValuesIn(RowsWhere(&CallsLibrary)),
                         &RowName);

// A staged row with the staging name of entry k missing ends with 1 before its call; the
// entries staged before k stay, the later ones were never staged. Over every k this pins the
// staging order down. A null text cannot be staged: the export answers 1 before staging
// anything.
class StagingRow : public ::testing::TestWithParam<size_t> {};

TEST_P(StagingRow, MissingStagingNameOrNullTextStopsAndLeavesTheEarlierEntries) {
  const ExportRow &row = kExportCatalogue[GetParam()];
  ExportStation s;
  ASSERT_TRUE(s.Up());
  RowArguments a;
  MakeArguments(row, &a);
  for (size_t k = 0; k < row.staged.size(); ++k) {
    StagingNames names = s.Names();
    names.erase({std::string(row.staged[k].section), std::string(row.staged[k].key)});
    s.WriteCommon(names);
    s.EraseAllNames();
    s.ClearRecord();
    SCOPED_TRACE("without " + std::string(row.staged[k].section) + "/" +
                 std::string(row.staged[k].key));
    EXPECT_EQ(CallExport(GetParam(), a.call), 1);
    EXPECT_EQ(s.Record().calls, 0) << "the library is not called";
    EXPECT_EQ(s.PresentNames(), s.Staged(row, a, k));
  }
  s.WriteCommon(s.Names());
  s.EraseAllNames();
  s.ClearRecord();
  s.ReturnFromLibrary(5);
  EXPECT_EQ(CallExport(GetParam(), a.call), 5) << "the restored file is read again";

  if (row.shape != ExportShape::kStaged ||
      row.arguments.find(argument_type::kText) == std::string_view::npos)
    return;
  RowArguments nulls;
  MakeArguments(row, &nulls, {nullptr, nullptr, true});
  s.ClearRecord();
  EXPECT_EQ(CallExport(GetParam(), nulls.call), 1);
  EXPECT_EQ(s.Record().calls, 0);
  EXPECT_TRUE(s.PresentNames().empty());
}

INSTANTIATE_TEST_SUITE_P(Catalogue, StagingRow, ::testing::ValuesIn(RowsWhere(&Stages)), &RowName);


class SerialCheck : public ::testing::TestWithParam<size_t> {};

TEST_P(SerialCheck, PlaceholderSerialAndCopiedTexts) {
  const ExportRow &row = kExportCatalogue[GetParam()];
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
    if (c.sn)
      s.Tell("Recorder.Sn", c.sn);
    else
      s.Forget("Recorder.Sn");
    s.ReturnFromLibrary(c.libraryResult);
    RowArguments a;
    MakeArguments(row, &a);
    a.call.ints[1] = 12; // ReadBarcode_Ufi's length
    const std::string what =
        std::string(c.sn ? c.sn : "no Sn") + " " + std::to_string(c.libraryResult);
    EXPECT_EQ(CallExport(IndexOfExport(row.name), a.call), c.result) << what;
    EXPECT_EQ(std::string(a.buffers[0]), c.buffer) << what;
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
