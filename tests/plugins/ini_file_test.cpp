// The INI writer's Windows rules: case-blind names, in-place replacement, created sections,
// untouched bytes elsewhere, line ends, GBK names, UTF-16 files, and the file on disk.
#include "platform/ini_file.h"

#include "platform/fault_injection.h"

#include <gtest/gtest.h>

#include "../support/station_folder.h"

namespace qrx::platform {
namespace {

TEST(ProfileValue, NewFileGetsSectionAndKeyWithWindowsLineBreaks) {
  EXPECT_EQ(SetProfileValue("", "DownloadImage", "File", "/img/a.bin"),
            "[DownloadImage]\r\nFile=/img/a.bin\r\n");
}

TEST(ProfileValue, ExistingKeyGetsItsNewValueInPlaceWhateverItsCase) {
  const std::string before = "; station\r\n[downloadimage]\r\n  file = old\r\nMode=2\r\n[Other]\r\nFile=x\r\n";
  EXPECT_EQ(SetProfileValue(before, "DownloadImage", "File", "new"),
            "; station\r\n[downloadimage]\r\n  file =new\r\nMode=2\r\n[Other]\r\nFile=x\r\n");
}

TEST(ProfileValue, MissingKeyGoesAfterTheSectionsLastLineBeforeBlankLines) {
  const std::string before = "[A]\nx=1\n\n[B]\ny=2";
  EXPECT_EQ(SetProfileValue(before, "a", "z", "3"), "[A]\nx=1\nz=3\n\n[B]\ny=2");
  // A missing section is appended, the file's own line break kept and a last line closed.
  EXPECT_EQ(SetProfileValue(before, "C", "k", "v"), "[A]\nx=1\n\n[B]\ny=2\n[C]\nk=v\n");
}

TEST(ProfileValue, NullValueRemovesKeyAndNullKeyRemovesSection) {
  const std::string before = "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n";
  EXPECT_EQ(SetProfileValue(before, "A", "x", nullptr), "[A]\r\ny=2\r\n[B]\r\nz=3\r\n");
  EXPECT_EQ(SetProfileValue(before, "A", nullptr, nullptr), "[B]\r\nz=3\r\n");
  EXPECT_EQ(SetProfileValue(before, "Q", "x", nullptr), before);
}

TEST(ProfileValue, SameNamedKeyInAnotherSectionIsLeftAlone) {
  const std::string before = "[Other]\r\nFile=keep\r\n";
  EXPECT_EQ(SetProfileValue(before, "DownloadImage", "File", "a"),
            "[Other]\r\nFile=keep\r\n[DownloadImage]\r\nFile=a\r\n");
}

// Line ends and blanks as Windows reads them: a lone CR ends a line, VT and FF are blanks.
TEST(ProfileValue, LoneCarriageReturnsEndLinesAndNewLinesUseThem) {
  const std::string before = "[A]\rx=1\r[B]\ry=2\r";
  EXPECT_EQ(SetProfileValue(before, "A", "z", "3"), "[A]\rx=1\rz=3\r[B]\ry=2\r");
  EXPECT_EQ(SetProfileValue(before, "B", nullptr, nullptr), "[A]\rx=1\r");
  // Mixed line ends: every CR and every LF ends a line.
  EXPECT_EQ(SetProfileValue("[A]\rx=1\n[B]\r\n", "A", "x", "2"), "[A]\rx=2\n[B]\r\n");
}

TEST(ProfileValue, VerticalTabAndFormFeedAroundNamesAreBlanks) {
  const std::string before = "\v[\fA\v]\f\r\n\fx\v=\v1\f\r\n";
  EXPECT_EQ(SetProfileValue(before, "a", "X", "2"), "\v[\fA\v]\f\r\n\fx\v=2\r\n");
  EXPECT_EQ(SetProfileValue(before, "\vA\f", "\fx", nullptr), "\v[\fA\v]\f\r\n");
}

// A line that names the key without '=' is that key: it gets the value where it stands.
TEST(ProfileValue, BareKeyLineGetsTheValueInPlace) {
  EXPECT_EQ(SetProfileValue("[S]\r\n  File  \r\nMode=2\r\n", "S", "file", "/a.bin"),
            "[S]\r\n  File=/a.bin\r\nMode=2\r\n");
  EXPECT_EQ(SetProfileValue("[S]\r\nFile\r\nMode=2\r\n", "S", "File", nullptr), "[S]\r\nMode=2\r\n");
}

// GBK names are compared per character: trail bytes 41-5A are no capital letters and trail
// byte 5D is no ']'.
TEST(ProfileValue, GbkNamesCompareCharacterByCharacter) {
  const std::string upper = "\x81\x41", lower = "\x81\x61";
  const std::string sections = "[" + upper + "]\r\nk=1\r\n[" + lower + "]\r\nk=2\r\n";
  EXPECT_EQ(SetProfileValue(sections, lower, "k", "3"),
            "[" + upper + "]\r\nk=1\r\n[" + lower + "]\r\nk=3\r\n");
  EXPECT_EQ(SetProfileValue(sections, lower, nullptr, nullptr), "[" + upper + "]\r\nk=1\r\n");
  const std::string keys = "[S]\r\n" + upper + "=1\r\n";
  EXPECT_EQ(SetProfileValue(keys, "S", lower.c_str(), nullptr), keys);
  // ASCII letters still fold inside a GBK name.
  EXPECT_EQ(SetProfileValue("[" + upper + "x]\r\n", upper + "X", "k", "v"),
            "[" + upper + "x]\r\nk=v\r\n");

  // The writer finds its own section with a trail byte 5D again instead of adding another.
  const std::string bracket = "\x81\x5d";
  std::string text = SetProfileValue("", bracket, "k", "1");
  text = SetProfileValue(text, bracket, "k", "2");
  EXPECT_EQ(text, "[" + bracket + "]\r\nk=2\r\n");
  // A lead byte takes the next byte whatever it is, as the code page's conversion does.
  EXPECT_EQ(SetProfileValue("[S]\r\nx=\x81\nk=1\r\n", "S", "k", "2"),
            "[S]\r\nx=\x81\nk=1\r\nk=2\r\n");
}

// Duplicates: a write goes to the first section of the name, a key deletion looks into every
// section of the name, a section deletion removes the first one only.
TEST(ProfileValue, DuplicateSectionsAndKeys) {
  const std::string before = "[A]\r\nx=1\r\nx=2\r\n[a]\r\ny=1\r\n";
  EXPECT_EQ(SetProfileValue(before, "A", "y", "2"), "[A]\r\nx=1\r\nx=2\r\ny=2\r\n[a]\r\ny=1\r\n");
  EXPECT_EQ(SetProfileValue(before, "A", "x", "3"), "[A]\r\nx=3\r\nx=2\r\n[a]\r\ny=1\r\n");
  EXPECT_EQ(SetProfileValue(before, "A", "y", nullptr), "[A]\r\nx=1\r\nx=2\r\n[a]\r\n");
  EXPECT_EQ(SetProfileValue(before, "a", nullptr, nullptr), "[a]\r\ny=1\r\n");
}

// UTF-16 files stay UTF-16 in their own byte order; names come in the ANSI code page (GBK).
TEST(ProfileValue, Utf16FilesAreRewrittenInUtf16) {
  using namespace std::string_literals;
  const std::string le = "\xff\xfe[\0A\0]\0\r\0\n\0"s;
  EXPECT_EQ(SetProfileValue(le, "a", "k", "\xb2\xe2"),
            le + "k\0=\0\x4b\x6d\r\0\n\0"s); // U+6D4B
  const std::string be = "\xfe\xff\0[\0A\0]\0\r\0\n\0k\0=\0001\0\r\0\n"s;
  EXPECT_EQ(SetProfileValue(be, "A", "K", "2"), "\xfe\xff\0[\0A\0]\0\r\0\n\0k\0=\0002\0\r\0\n"s);
  EXPECT_EQ(SetProfileValue(be, "A", nullptr, nullptr), "\xfe\xff"s);
  EXPECT_EQ(SetProfileValue("\xff\xfe", "S", "k", "v"),
            "\xff\xfe[\0S\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0"s);
}

// Where Wine is not Windows: a UTF-8 byte-order mark is part of the first line, and the first
// ']' ends a section name.
TEST(ProfileValue, Utf8ByteOrderMarkAndSecondBracketAsOnWindows) {
  const std::string bom = "\xef\xbb\xbf[S]\r\nk=1\r\n";
  EXPECT_EQ(SetProfileValue(bom, "S", "k", "2"), bom + "[S]\r\nk=2\r\n");
  EXPECT_EQ(SetProfileValue("[A]b]\r\nk=1\r\n", "A", "k", "2"), "[A]b]\r\nk=2\r\n");
  EXPECT_EQ(SetProfileValue("[A]b]\r\nk=1\r\n", "A]b", "k", "2"),
            "[A]b]\r\nk=1\r\n[A]b]\r\nk=2\r\n");
}

class IniFileOnDisk : public ::testing::Test {
protected:
  void TearDown() override { ClearFaults(); }
  std::string Read(const std::string &path) { return test::ReadBytes(path); }
  test::TempFolder folder_{"ini"};
  const std::filesystem::path &dir_ = folder_.Root();
};

TEST_F(IniFileOnDisk, CreatesThenUpdatesTheFile) {
  const std::string path = (dir_ / "dl.ini").string();
  ASSERT_TRUE(WritePrivateProfileString("DownloadImage", "File", "a", path));
  ASSERT_TRUE(WritePrivateProfileString("DownloadImageUFI", "File", "b", path));
  ASSERT_TRUE(WritePrivateProfileString("DownloadImage", "File", "c", path));
  EXPECT_EQ(Read(path), "[DownloadImage]\r\nFile=c\r\n[DownloadImageUFI]\r\nFile=b\r\n");
}

TEST_F(IniFileOnDisk, DeletionOnAMissingFileLeavesAnEmptyFile) {
  const std::string path = (dir_ / "dl.ini").string();
  EXPECT_TRUE(WritePrivateProfileString("S", "K", nullptr, path));
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(Read(path), "");
  EXPECT_TRUE(WritePrivateProfileString("S", nullptr, nullptr, path));
  EXPECT_EQ(Read(path), "");
}

TEST_F(IniFileOnDisk, FailedWriteLeavesTheOldFileAndReportsIt) {
  const std::string path = (dir_ / "dl.ini").string();
  ASSERT_TRUE(WritePrivateProfileString("S", "K", "old", path));
  FailNext(Fault::kFileRename);
  EXPECT_FALSE(WritePrivateProfileString("S", "K", "new", path));
  EXPECT_EQ(Read(path), "[S]\r\nK=old\r\n");
  EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", dir_.string())); // a directory
  EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", (dir_ / "no" / "x.ini").string()));
}

} // namespace
} // namespace qrx::platform
