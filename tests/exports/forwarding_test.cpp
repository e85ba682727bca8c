// Every export that calls a test library, row by row of the catalogue: the texts staged under
// their names, the library function reached, the result handed back, the entries gone
// afterwards, and the answers without a station, a service or a function.
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
  // The caller's buffer and double of a read-back are left as they were.
  void ExpectOutputsUntouched(const RowArguments &a) const {
    for (size_t i = 0; i < Row().arguments.size(); ++i)
      if (Row().arguments[i] == argument_type::kTextBuffer) {
        EXPECT_EQ(std::string(a.buffers[i]), kUntouched) << "buffer " << i + 1;
      }
    EXPECT_EQ(a.doubleOut, -777.25);
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
  if (IsReadBack()) {
    ExpectOutputsUntouched(a);
    return;
  }
  // Any other result of the library is passed through (read-backs give 0 a meaning of their own).
  for (int result : {0, 1, -1, 2, INT_MIN, INT_MAX}) {
    s.ReturnFromLibrary(result);
    EXPECT_EQ(Call(a), result);
  }
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
  ExpectOutputsUntouched(a);
}

TEST_P(LibraryRow, WithoutStationOrServiceAnswersOneInTheRowsOrder) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  RowArguments a;
  MakeArguments(Row(), &a);
  int result = 0;
  std::thread([&] { result = Call(a); }).join();
  EXPECT_EQ(result, 1) << "a thread without a station";
  EXPECT_TRUE(s.PresentNames().empty()) << "touches no station";

  StationFieldSwap without(RemoverOf(Row().service));
  ASSERT_TRUE(without.Active());
  EXPECT_EQ(Call(a), 1);
  EXPECT_EQ(s.Record().calls, 0);
  const bool stagingFirst = Row().order == StagingOrder::kStagingFirst;
  EXPECT_EQ(s.PresentNames(), s.Staged(Row(), a, stagingFirst ? kMaxArguments : 0))
      << "staging-first leaves all its entries behind, service-first stages nothing";
  ExpectOutputsUntouched(a);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, LibraryRow, ::testing::ValuesIn(RowsWhere(&CallsLibrary)),
                         &RowName);

// A staged row with the staging name of entry k missing ends with 1 before its call; the
// entries staged before k stay, the later ones were never staged. Over every k this pins the
// staging order down.
class StagingRow : public ::testing::TestWithParam<size_t> {
protected:
  const ExportRow &Row() const { return kExportCatalogue[GetParam()]; }
};

TEST_P(StagingRow, MissingStagingNameStopsAndLeavesTheEarlierEntries) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  RowArguments a;
  MakeArguments(Row(), &a);
  const auto &staged = Row().staged;
  for (size_t k = 0; k < staged.size(); ++k) {
    StagingNames names = s.Names();
    names.erase({std::string(staged[k].section), std::string(staged[k].key)});
    s.WriteCommon(names);
    s.EraseAllNames();
    s.ClearRecord();
    SCOPED_TRACE("without " + std::string(staged[k].section) + "/" + std::string(staged[k].key));
    EXPECT_EQ(CallExport(GetParam(), a.call), 1);
    EXPECT_EQ(s.Record().calls, 0) << "the library is not called";
    EXPECT_EQ(s.PresentNames(), s.Staged(Row(), a, k));
  }
  s.WriteCommon(s.Names());
  s.EraseAllNames();
  s.ClearRecord();
  s.ReturnFromLibrary(5);
  EXPECT_EQ(CallExport(GetParam(), a.call), 5) << "the restored file is read again";
}

// Extreme numbers are staged as the full printf text, whatever its length.
TEST_P(StagingRow, ExtremeNumbersAreStagedAsTheirFullText) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  const int32_t ints[] = {INT_MIN, INT_MAX, 0, -5, INT_MIN + 1};
  const double doubles[] = {1e300, std::numeric_limits<double>::quiet_NaN(),
                            -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::max()};
  for (size_t v = 0; v < std::size(ints); ++v) {
    RowArguments a;
    MakeArguments(Row(), &a, {&ints[v], &doubles[v], false});
    s.ClearRecord();
    s.ReturnFromLibrary(0);
    const int result = CallExport(GetParam(), a.call);
    if (Row().shape == ExportShape::kStaged || Row().shape == ExportShape::kOptionalOffset) {
      EXPECT_EQ(result, 0);
    }
    const Recorded r = s.Record();
    ASSERT_EQ(r.calls, 1);
    EXPECT_EQ(r.saw, s.Staged(Row(), a));
    EXPECT_TRUE(s.PresentNames().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, StagingRow, ::testing::ValuesIn(RowsWhere(&Stages)), &RowName);

// A null text cannot be staged: the export answers 1 before staging anything.
TEST(NullTexts, StagedTextArgumentsMayBeNull) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  for (size_t row : RowsWhere([](const ExportRow &r) {
         return r.shape == ExportShape::kStaged &&
                r.arguments.find(argument_type::kText) != std::string_view::npos;
       })) {
    RowArguments a;
    MakeArguments(kExportCatalogue[row], &a, {nullptr, nullptr, true});
    s.ClearRecord();
    const int result = CallExport(row, a.call);
    SCOPED_TRACE(std::string(kExportCatalogue[row].name));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(s.Record().calls, 0);
    EXPECT_TRUE(s.PresentNames().empty());
    s.EraseAllNames();
  }
}

} // namespace
} // namespace qrx::test
