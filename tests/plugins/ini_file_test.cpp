// The INI writer's Windows rules: case-blind names, in-place replacement, created sections,
// untouched bytes elsewhere, line ends, GBK names, UTF-16 files, and the file on disk.
#include "platform/ini_file.h"

#include "platform/fault_injection.h"

#include <gtest/gtest.h>

#include "../support/station_folder.h"

namespace qrx::platform {
namespace {

using namespace std::string_literals;

struct ProfileCase {
  const char *why;
  std::string before, section;
  const char *key, *value; // null key: the section goes; null value: the key goes
  std::string after;
};

const std::string kGbkUpper = "\x81\x41", kGbkLower = "\x81\x61"; // trail bytes, no letters
const std::string kGbkSections = "[" + kGbkUpper + "]\r\nk=1\r\n[" + kGbkLower + "]\r\nk=2\r\n";
const std::string kDuplicates = "[A]\r\nx=1\r\nx=2\r\n[a]\r\ny=1\r\n";
const std::string kUtf16Be = "\xfe\xff\0[\0A\0]\0\r\0\n\0k\0=\0001\0\r\0\n"s;

const ProfileCase kProfileCases[] = {
    {"new file", "", "DownloadImage", "File", "/img/a.bin", "[DownloadImage]\r\nFile=/img/a.bin\r\n"},
    {"key of another case replaced in place",
     "; station\r\n[downloadimage]\r\n  file = old\r\nMode=2\r\n[Other]\r\nFile=x\r\n", "DownloadImage",
     "File", "new", "; station\r\n[downloadimage]\r\n  file =new\r\nMode=2\r\n[Other]\r\nFile=x\r\n"},
    {"missing key after the section's last line", "[A]\nx=1\n\n[B]\ny=2", "a", "z", "3",
     "[A]\nx=1\nz=3\n\n[B]\ny=2"},
    {"missing section appended with the file's line break", "[A]\nx=1\n\n[B]\ny=2", "C", "k", "v",
     "[A]\nx=1\n\n[B]\ny=2\n[C]\nk=v\n"},
    {"null value removes the key", "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n", "A", "x", nullptr,
     "[A]\r\ny=2\r\n[B]\r\nz=3\r\n"},
    {"null key removes the section", "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n", "A", nullptr, nullptr,
     "[B]\r\nz=3\r\n"},
    {"lone CR ends a line", "[A]\rx=1\r[B]\ry=2\r", "A", "z", "3", "[A]\rx=1\rz=3\r[B]\ry=2\r"},
    {"VT and FF around given names", "\v[\fA\v]\f\r\n\fx\v=\v1\f\r\n", "\vA\f", "\fx", nullptr,
     "\v[\fA\v]\f\r\n"},
    {"bare key line gets the value", "[S]\r\n  File  \r\nMode=2\r\n", "S", "file", "/a.bin",
     "[S]\r\n  File=/a.bin\r\nMode=2\r\n"},
    {"GBK section names per character", kGbkSections, kGbkLower, "k", "3",
     "[" + kGbkUpper + "]\r\nk=1\r\n[" + kGbkLower + "]\r\nk=3\r\n"},
    {"GBK key names per character", "[S]\r\n" + kGbkUpper + "=1\r\n", "S", "\x81\x61", nullptr,
     "[S]\r\n" + kGbkUpper + "=1\r\n"},
    {"ASCII folds inside a GBK name", "[" + kGbkUpper + "x]\r\n", kGbkUpper + "X", "k", "v",
     "[" + kGbkUpper + "x]\r\nk=v\r\n"},
    {"a lead byte takes the next byte", "[S]\r\nx=\x81\nk=1\r\n", "S", "k", "2",
     "[S]\r\nx=\x81\nk=1\r\nk=2\r\n"},
    {"key removal looks into every section of the name", kDuplicates, "A", "y", nullptr,
     "[A]\r\nx=1\r\nx=2\r\n[a]\r\n"},
    {"UTF-16LE stays UTF-16, GBK value converted", "\xff\xfe[\0A\0]\0\r\0\n\0"s, "a", "k", "\xb2\xe2",
     "\xff\xfe[\0A\0]\0\r\0\n\0k\0=\0\x4b\x6d\r\0\n\0"s},
    {"UTF-16BE", kUtf16Be, "A", "K", "2", "\xfe\xff\0[\0A\0]\0\r\0\n\0k\0=\0002\0\r\0\n"s},
    {"UTF-16BE section removed", kUtf16Be, "A", nullptr, nullptr, "\xfe\xff"s},
    {"UTF-16 mark alone", "\xff\xfe", "S", "k", "v", "\xff\xfe[\0S\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0"s},
    // Where Wine is not Windows: a UTF-8 mark is part of the first line, the first ']' ends a name.
    {"UTF-8 mark belongs to the first line", "\xef\xbb\xbf[S]\r\nk=1\r\n", "S", "k", "2",
     "\xef\xbb\xbf[S]\r\nk=1\r\n[S]\r\nk=2\r\n"},
    {"first bracket ends the name", "[A]b]\r\nk=1\r\n", "A", "k", "2", "[A]b]\r\nk=2\r\n"},
};

TEST(ProfileValue, WindowsRules) {
  for (const ProfileCase &c : kProfileCases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(SetProfileValue(c.before, c.section, c.key, c.value), c.after);
  }
  // The writer finds the section it wrote with a trail byte 5D again.
  const std::string bracket = "\x81\x5d";
  EXPECT_EQ(SetProfileValue(SetProfileValue("", bracket, "k", "1"), bracket, "k", "2"),
            "[" + bracket + "]\r\nk=2\r\n");
}

// Created, then updated; a deletion on a missing file leaves an empty file; a failed write
// leaves the old file and is reported.
TEST(IniFileOnDisk, CreatesUpdatesAndReportsFailedWrites) {
  test::TempFolder folder{"ini"};
  const std::string path = (folder.Root() / "dl.ini").string(), empty = path + ".empty";
  EXPECT_TRUE(WritePrivateProfileString("S", "K", nullptr, empty));
  EXPECT_TRUE(WritePrivateProfileString("S", nullptr, nullptr, empty));
  EXPECT_EQ(test::ReadBytes(empty), "");
  ASSERT_TRUE(WritePrivateProfileString("DownloadImage", "File", "a", path));
  ASSERT_TRUE(WritePrivateProfileString("DownloadImageUFI", "File", "b", path));
  ASSERT_TRUE(WritePrivateProfileString("DownloadImage", "File", "c", path));
  const std::string written = "[DownloadImage]\r\nFile=c\r\n[DownloadImageUFI]\r\nFile=b\r\n";
  EXPECT_EQ(test::ReadBytes(path), written);
  FailNext(Fault::kFileRename);
  EXPECT_FALSE(WritePrivateProfileString("S", "K", "new", path));
  ClearFaults();
  EXPECT_EQ(test::ReadBytes(path), written);
  EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", folder.Root().string())); // a directory
  EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", (folder.Root() / "no" / "x.ini").string()));
}

} // namespace
} // namespace qrx::platform
