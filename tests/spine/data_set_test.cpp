// Data sets: text storage with default-stream formatting, non-consuming typed reads, erase.
#include "hub/data_set.h"

#include <gtest/gtest.h>

#include <limits>
#include <locale>

namespace qrx {
namespace {

// An erased entry's storage serves the next new entry: nothing of the old value or of a failed
// read may carry over.
TEST(DataSet, NewEntryAfterAnEraseStartsClean) {
  DataSet d;
  std::string s;
  d.SetString("old", "not a number");
  double x = 0;
  EXPECT_EQ(d.GetDouble("old", &x), 0);
  std::string erase = "erase";
  ASSERT_EQ(d.GetString("old", erase), 0);
  d.SetInt("new", 42);
  int n = 0;
  EXPECT_EQ(d.GetInt("new", &n), 0);
  EXPECT_EQ(n, 42);
  ASSERT_EQ(d.GetString("new", s), 0);
  EXPECT_EQ(s, "42");
  EXPECT_NE(d.GetString("old", s), 0) << "the erased entry stays gone";
  d.SetString("other", "");
  s = "x";
  ASSERT_EQ(d.GetString("other", s), 0);
  EXPECT_EQ(s, "");
}

TEST(DataSet, ValuesAreTextWhateverTheirType) {
  DataSet d;
  std::string s;
  d.SetInt("k", 5);
  ASSERT_EQ(d.GetString("k", s), 0);
  EXPECT_EQ(s, "5");
  d.SetBool("b", true);
  d.GetString("b", s);
  EXPECT_EQ(s, "1");
  d.SetDouble("d", 0.1);
  d.GetString("d", s);
  EXPECT_EQ(s, "0.1");
  d.SetDouble("d", 3.14159265);
  d.GetString("d", s);
  EXPECT_EQ(s, "3.14159");
  d.SetDouble("d", 100.0);
  d.GetString("d", s);
  EXPECT_EQ(s, "100");
  d.SetDouble("d", 1e300);
  d.GetString("d", s);
  EXPECT_EQ(s, "1e+300");
  d.SetString("d", "later text");
  d.GetString("d", s);
  EXPECT_EQ(s, "later text") << "a later write replaces the value whatever its type";
}

// A host that installs a locale with a comma decimal point and digit grouping changes nothing.
TEST(DataSet, NumbersIgnoreTheHostsLocale) {
  struct CommaNumbers : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
  };
  const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaNumbers));
  DataSet d;
  std::string s;
  d.SetInt("i", 1234567);
  d.GetString("i", s);
  EXPECT_EQ(s, "1234567");
  d.SetDouble("d", 2.5);
  d.GetString("d", s);
  EXPECT_EQ(s, "2.5");
  double v = 0;
  d.SetString("staged", "2.500000");
  d.GetDouble("staged", &v);
  EXPECT_EQ(v, 2.5);
  std::locale::global(previous);
}

TEST(DataSet, TypedReadsParseWithoutConsuming) {
  DataSet d;
  int i = -1;
  d.SetString("k", "7 apples");
  EXPECT_EQ(d.GetInt("k", &i), 0);
  EXPECT_EQ(i, 7);
  i = -1;
  EXPECT_EQ(d.GetInt("k", &i), 0);
  EXPECT_EQ(i, 7) << "a second read sees the same value";
  d.SetString("k", "12ab");
  d.GetInt("k", &i);
  EXPECT_EQ(i, 12);

  bool b = false;
  d.SetString("t", "true");
  EXPECT_EQ(d.GetBool("t", &b), 0);
  EXPECT_FALSE(b) << "the word true is not a boolean of the stream";
  d.SetString("t", "  1");
  d.GetBool("t", &b);
  EXPECT_TRUE(b);

  i = 42;
  d.SetString("x", "none");
  EXPECT_EQ(d.GetInt("x", &i), 0);
  EXPECT_EQ(i, 42) << "unparsable text leaves the output as it was";
  EXPECT_EQ(d.GetInt("missing", &i), -1);

  double v = 0;
  d.SetString("e", "-2.5e3x");
  d.GetDouble("e", &v);
  EXPECT_DOUBLE_EQ(v, -2500.0);
  EXPECT_EQ(d.GetDouble("e", nullptr), 0) << "a null output is not written";
}

TEST(DataSet, EraseAndCase) {
  DataSet d;
  d.SetString("Key", "v");
  std::string s = "Erase";
  EXPECT_EQ(d.GetString("Key", s), 0);
  EXPECT_EQ(s, "v") << "Erase is an ordinary read";
  s = "unchanged";
  EXPECT_EQ(d.GetString("key", s), -1);
  EXPECT_EQ(s, "unchanged") << "keys are case-sensitive";
  s = "erase";
  EXPECT_EQ(d.GetString("Key", s), 0);
  EXPECT_FALSE(d.Contains("Key"));
  s = "erase";
  EXPECT_EQ(d.GetString("Key", s), -1);
}

TEST(DataSet, ChildrenAreReleasedWithTheirParent) {
  auto *parent = new DataSet("p");
  auto *child = new DataSet("c");
  parent->AddRef();
  child->AddRef();      // our own reference
  parent->AddChild(child); // the parent's reference
  parent->Release();    // destroys the parent, which releases the child once
  child->SetInt("alive", 1);
  int v = 0;
  EXPECT_EQ(child->GetInt("alive", &v), 0);
  EXPECT_EQ(v, 1);
  child->Release();
}

TEST(DataSet, MemberSurvivesUnbalancedRelease) {
  DataSet member;
  member.MakeMember();
  member.AddRef();
  member.Release();
  member.Release();
  member.SetInt("k", 1);
  EXPECT_TRUE(member.Contains("k"));
}

} // namespace
} // namespace qrx
