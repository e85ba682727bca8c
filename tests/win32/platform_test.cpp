// The Windows platform layer against the real system: loader errors, module folders, code
// pages, profile files and detached programs.
#include "platform/code_page.h"
#include "platform/dynamic_library.h"
#include "platform/fault_injection.h"
#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "platform/module_path.h"
#include "platform/operator_ui.h"
#include "platform/process.h"

#include <gtest/gtest.h>

#include "../support/station_folder.h"

#include <windows.h>
// The platform layer's names, not the system's A/W macros.
#undef LoadLibrary
#undef WritePrivateProfileString

#include <qrx/version.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

namespace qrx::platform {
namespace {

// A fresh folder under the temporary folder, removed with its files afterwards.
class ScratchFolder : public ::testing::Test {
protected:
  void TearDown() override { ClearFaults(); }
  test::TempFolder folder_{"win32"};
  const std::string dir_ = folder_.Root().string() + "\\";
};

using LibraryLoading = ScratchFolder;

TEST_F(LibraryLoading, LoaderCodesAndPathsReachingTheLoaderUnchanged) {
  SetLastError(0);
  EXPECT_EQ(LoadLibrary(dir_ + "Missing.dll"), nullptr);
  EXPECT_EQ(GetLastError(), 126u);
  std::string error;
  ASSERT_TRUE(ReplaceFileAtomically(dir_ + "NotAnImage.dll", "this is text, not a DLL", &error));
  EXPECT_EQ(LoadLibrary(dir_ + "NotAnImage.dll"), nullptr);
  EXPECT_EQ(GetLastError(), 193u);
  FailNext(Fault::kLoadLibrary);
  EXPECT_EQ(LoadSystemLibrary("kernel32.dll"), nullptr);
  EXPECT_EQ(GetLastError(), 193u);
  EXPECT_EQ(TranslateLibraryPath(".\\TestDll\\GsmFt.dll"), ".\\TestDll\\GsmFt.dll");
  ModuleHandle k = LoadSystemLibrary("kernel32.dll");
  ASSERT_NE(k, nullptr);
  EXPECT_NE(GetProcAddress(k, "GetCurrentThreadId"), nullptr);
  EXPECT_EQ(GetProcAddress(k, "NoSuchFunctionAnywhere"), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "GetCurrentThreadId"), nullptr);
  EXPECT_TRUE(FreeLibrary(k));
  EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST(ModuleFolders, BothEndWithTheSeparatorAndHoldTheProgram) {
  const std::string exe = ExecutableDirectory();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.back(), '\\');
  char self[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, self, sizeof self);
  EXPECT_EQ(std::string(self).rfind(exe, 0), 0u);
  // Linked into the test program, the library's folder is the program's.
  EXPECT_EQ(ModuleDirectory(), exe);
}

TEST(CodePages, RoundTripsLossAndUnknownPages) {
  const struct {
    int codePage;
    std::string bytes;
    std::u16string wide;
  } cases[] = {{936, "\xCC\xF5\xC2\xEB", u"\u6761\u7801"}, // "条码"
               {1201, std::string("\x00\x41\x6C\x34", 4), u"A\u6C34"},
               {12000, std::string("\x00\xF6\x01\x00", 4), u"\U0001F600"}};
  std::u16string wide;
  std::string bytes;
  bool lossy = false; // only ever set by a conversion that loses something
  for (const auto &c : cases) {
    SCOPED_TRACE(c.codePage);
    ASSERT_TRUE(MultiByteToWide(c.codePage, c.bytes, &wide, &lossy));
    EXPECT_EQ(wide, c.wide);
    ASSERT_TRUE(WideToMultiByte(c.codePage, c.wide, &bytes, &lossy));
    EXPECT_EQ(bytes, c.bytes);
    EXPECT_FALSE(lossy);
  }
  // Thai has no place in GBK: replaced and reported; so is a byte that is no UTF-8.
  ASSERT_TRUE(WideToMultiByte(936, u"a\u0E01b", &bytes, &lossy));
  EXPECT_EQ(bytes, "a?b");
  EXPECT_TRUE(lossy);
  lossy = false;
  ASSERT_TRUE(MultiByteToWide(65001, "ok\xFF", &wide, &lossy));
  EXPECT_TRUE(lossy);
  EXPECT_EQ(wide.substr(0, 2), u"ok");
  EXPECT_FALSE(MultiByteToWide(12345, "x", &wide, &lossy));
  EXPECT_FALSE(WideToMultiByte(936, u"x", nullptr, &lossy));
  EXPECT_STREQ(CodePageName(936), "GBK");
  EXPECT_EQ(CodePageName(4), nullptr);
}

using ProfileFiles = ScratchFolder;

TEST_F(ProfileFiles, NameReachesTheSystemAsGivenSoPluginsReadTheSameFile) {
  char old[MAX_PATH] = {};
  ::GetCurrentDirectoryA(sizeof old, old);
  ASSERT_TRUE(::SetCurrentDirectoryA(dir_.c_str()));
  const std::string bare = "qrx-profile-test-" + std::to_string(::GetCurrentProcessId()) + ".ini";
  const bool written = WritePrivateProfileString("Download", "Image", "C:\\img\\a.bin", bare);
  char seen[64] = {};
  ::GetPrivateProfileStringA("Download", "Image", "", seen, sizeof seen, bare.c_str());
  const bool inWorkingFolder = FileExists(dir_ + bare);
  ::SetCurrentDirectoryA(old);
  char windows[MAX_PATH] = {};
  ::GetWindowsDirectoryA(windows, sizeof windows);
  ::DeleteFileA((std::string(windows) + "\\" + bare).c_str());
  ASSERT_TRUE(written);
  EXPECT_STREQ(seen, "C:\\img\\a.bin"); // what a plug-in reads under the same name
  EXPECT_FALSE(inWorkingFolder);
  ASSERT_TRUE(WritePrivateProfileString("Download", "Image", "b.bin", dir_ + "BI.ini"));
  EXPECT_NE(folder_.Read("BI.ini").find("Image=b.bin"), std::string::npos);
  EXPECT_FALSE(WritePrivateProfileString(nullptr, "k", "v", dir_ + "BI.ini"));
  EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", dir_));
  // Several values in one replacement of the file, or none of them.
  ASSERT_TRUE(WritePrivateProfileStrings(dir_ + "BI.ini",
                                         {{"Download", "Image", "b"}, {"UFI", "File", "c"}}));
  const std::string both = folder_.Read("BI.ini");
  EXPECT_NE(both.find("Image=b"), std::string::npos);
  EXPECT_NE(both.find("[UFI]\r\nFile=c"), std::string::npos);
  FailNext(Fault::kFileWrite, 1, /*after=*/1);
  EXPECT_FALSE(WritePrivateProfileStrings(dir_ + "BI.ini",
                                          {{"Download", "Image", "d"}, {"UFI", "File", "e"}}));
  ClearFaults();
  EXPECT_EQ(folder_.Read("BI.ini"), both);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Root()), {}), 1)
      << "no copy left behind";
}

using DetachedPrograms = ScratchFolder;

TEST_F(DetachedPrograms, StartsWithoutWaiting) {
  auto appears = [](const std::string &path) {
    for (int i = 0; i < 200 && !FileExists(path); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return FileExists(path);
  };
  const std::string marker = dir_ + "started.txt";
  ASSERT_TRUE(StartDetached({"cmd.exe", "/c", "echo", "x", ">", marker}));
  EXPECT_TRUE(appears(marker));
  // The ARP flush of a UFI download is the system's own command line, run as it stands.
  const std::string hidden = dir_ + "hidden.txt";
  EXPECT_TRUE(RunHiddenCommand(("cmd.exe /c echo x > " + hidden).c_str()));
  EXPECT_FALSE(RunHiddenCommand(""));
  EXPECT_TRUE(appears(hidden));
  std::this_thread::sleep_for(std::chrono::milliseconds(200)); // let cmd close the file
}

// A station thread ended by its host while it asked the operator leaves the lock to the next;
// the holder itself may take it again.
TEST(OperatorPrompt, LockOfAnEndedThreadPassesOnAndNestsOnItsThread) {
  std::thread([] {
    new OperatorPromptLock; // never released: the thread ends holding it
  }).join();
  auto next = std::async(std::launch::async, [] {
    OperatorPromptLock first;
    OperatorPromptLock again;
    return true;
  });
  ASSERT_EQ(next.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(next.get());
}

// Installers and Explorer read the version record that version.h defines.
TEST(VersionRecord, DllCarriesTheHeaderVersionAndNames) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(QRX_DEPLOYED_DLL, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(::GetFileVersionInfoA(QRX_DEPLOYED_DLL, 0, size, data.data()));
  VS_FIXEDFILEINFO *fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueA(data.data(), "\\", reinterpret_cast<void **>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(QRX_VERSION_MINOR, QRX_VERSION_MAJOR)));
  EXPECT_EQ(fixed->dwProductVersionLS, static_cast<DWORD>(MAKELONG(0, QRX_VERSION_PATCH)));
  const std::pair<const char *, const char *> kStrings[] = {
      {"OriginalFilename", "QRXInterface.dll"}, {"FileVersion", QRX_VERSION_STRING},
      {"ProductVersion", QRX_VERSION_STRING},   {"ProductName", "QRXInterface"}};
  for (const auto &[name, expected] : kStrings) {
    char *value = nullptr;
    const std::string key = std::string("\\StringFileInfo\\080404b0\\") + name;
    ASSERT_TRUE(::VerQueryValueA(data.data(), key.c_str(), reinterpret_cast<void **>(&value), &length)) << name;
    EXPECT_STREQ(value, expected) << name;
  }
}

} // namespace
} // namespace qrx::platform
