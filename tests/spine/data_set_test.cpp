// Data sets: text storage with default-stream formatting, non-consuming typed reads, erase.
#include "hub/data_set.h"

#include <gtest/gtest.h>

#include <functional>
#include <locale>

namespace qrx {
namespace {

std::string Text(DataSet &d, const std::string &key) {
  std::string s;
  EXPECT_EQ(d.GetString(key, s), 0) << key;
  return s;
}

// Values are text whatever their type, formatted as the default stream formats them; a host
// that installs a locale with a comma decimal point and digit grouping changes nothing.
TEST(DataSet, ValuesAreTextWhateverTheirTypeAndTheHostsLocale) {
  struct CommaNumbers : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
  };
  const std::pair<std::function<void(DataSet &)>, std::string> cases[] = {
      {[](DataSet &d) { d.SetInt("v", 1234567); }, "1234567"},
      {[](DataSet &d) { d.SetBool("v", true); }, "1"},
      {[](DataSet &d) { d.SetDouble("v", 3.14159265); }, "3.14159"},
      {[](DataSet &d) { d.SetDouble("v", 100.0); }, "100"},
      {[](DataSet &d) { d.SetDouble("v", 1e300); }, "1e+300"},
      {[](DataSet &d) { d.SetDouble("v", 2.5); }, "2.5"},
      {[](DataSet &d) { d.SetString("v", "later text"); }, "later text"},
  };
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new CommaNumbers));
  DataSet d;
  for (const auto &[set, text] : cases) {
    set(d);
    EXPECT_EQ(Text(d, "v"), text);
  }
  double v = 0;
  d.SetString("staged", "2.500000");
  d.GetDouble("staged", &v);
  std::locale::global(previous);
  EXPECT_EQ(v, 2.5);
}

TEST(DataSet, TypedReadsParseWithoutConsuming) {
  DataSet d;
  const std::pair<const char *, int> ints[] = {{"7 apples", 7}, {"12ab", 12}, {"none", 42}};
  for (auto [text, expected] : ints) {
    d.SetString("k", text);
    for (int read = 0; read < 2; ++read) { // a second read sees the same value
      int i = 42;
      EXPECT_EQ(d.GetInt("k", &i), 0) << text;
      EXPECT_EQ(i, expected) << text << ": unparsable text leaves the output as it was";
    }
  }
  int i = 0;
  EXPECT_EQ(d.GetInt("missing", &i), -1);

  bool b = false;
  d.SetString("t", "true");
  EXPECT_EQ(d.GetBool("t", &b), 0);
  EXPECT_FALSE(b) << "the word true is not a boolean of the stream";
  d.SetString("t", "  1");
  d.GetBool("t", &b);
  EXPECT_TRUE(b);

  double v = 0;
  d.SetString("e", "-2.5e3x");
  d.GetDouble("e", &v);
  EXPECT_DOUBLE_EQ(v, -2500.0);
  EXPECT_EQ(d.GetDouble("e", nullptr), 0) << "a null output is not written";
}

// An erased entry's storage serves the next new entry: nothing of the old value or of a failed
// read may carry over.
TEST(DataSet, EraseCaseAndANewEntryAfterAnErase) {
  DataSet d;
  d.SetString("Key", "not a number");
  double x = 0;
  EXPECT_EQ(d.GetDouble("Key", &x), 0);
  std::string s = "Erase";
  EXPECT_EQ(d.GetString("Key", s), 0);
  EXPECT_EQ(s, "not a number") << "Erase is an ordinary read";
  s = "unchanged";
  EXPECT_EQ(d.GetString("key", s), -1);
  EXPECT_EQ(s, "unchanged") << "keys are case-sensitive";
  s = "erase";
  EXPECT_EQ(d.GetString("Key", s), 0);
  EXPECT_FALSE(d.Contains("Key"));
  s = "erase";
  EXPECT_EQ(d.GetString("Key", s), -1) << "the erased entry stays gone";

  d.SetInt("new", 42);
  int n = 0;
  EXPECT_EQ(d.GetInt("new", &n), 0);
  EXPECT_EQ(n, 42);
  EXPECT_EQ(Text(d, "new"), "42");
}

TEST(DataSet, ChildrenAreReleasedWithTheirParent) {
  auto *parent = new DataSet("p");
  auto *child = new DataSet("c");
  parent->AddRef();
  child->AddRef();         // our own reference
  parent->AddChild(child); // the parent's reference
  parent->Release();       // destroys the parent, which releases the child once
  child->SetInt("alive", 1);
  EXPECT_TRUE(child->Contains("alive"));
  child->Release();
  // Members of the hub surviving unbalanced releases: the test library's ProbeSlots.
}

} // namespace
} // namespace qrx
