// The INI writer where Wine is not Windows, and the file on disk. Its Windows rules (names,
// line ends, blanks, GBK and UTF-16 files) are compared with Windows' own in tests/parity/ini.
#include "platform/ini_file.h"

#include "platform/fault_injection.h"

#include <gtest/gtest.h>

#include "../support/station_folder.h"

namespace qrx::platform {
namespace {

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
