// The INI writer's Windows rules: case-blind names, in-place replacement, created sections,
// untouched bytes elsewhere, and the file on disk.
#include "platform/ini_file.h"

#include "platform/fault_injection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

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

class IniFileOnDisk : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qrx-ini-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
  }
  void TearDown() override {
    ClearFaults();
    std::filesystem::remove_all(dir_);
  }
  std::string Read(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::filesystem::path dir_;
};

TEST_F(IniFileOnDisk, CreatesThenUpdatesTheFile) {
  const std::string path = (dir_ / "dl.ini").string();
  ASSERT_TRUE(WritePrivateProfileString("DownloadImage", "File", "a", path));
  ASSERT_TRUE(WritePrivateProfileString("DownloadImageUFI", "File", "b", path));
  ASSERT_TRUE(WritePrivateProfileString("DownloadImage", "File", "c", path));
  EXPECT_EQ(Read(path), "[DownloadImage]\r\nFile=c\r\n[DownloadImageUFI]\r\nFile=b\r\n");
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
