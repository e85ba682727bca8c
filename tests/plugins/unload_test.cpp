// A host process with the real shared library: when the process ends, every BI plug-in gets
// its releases (SN object before root object) and the progress window is gone before them.
#include "platform/host_process.h"
#include "../support/station_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

void Quiet(void *, const char *, const char *) {}

namespace host = qrx::platform::host;

// Runs in a child process: loads the library as a host linked against it would (its exports
// open to the plug-ins), brings a phone station up and down, and leaves the rest to the end of
// the process.
int HostProcess() {
  void *library = host::OpenLibrary(QRX_LIBRARY, true, nullptr);
  if (!library) return 10;
  auto setBox = reinterpret_cast<int (*)(QRXMessageBoxFn, void *)>(
      host::FindSymbol(library, "QRX_SetMessageBoxHandler"));
  auto init = reinterpret_cast<int (*)(int, const char *, const char *)>(
      host::FindSymbol(library, "InitQRXInterface"));
  auto cleanUp = reinterpret_cast<int (*)()>(host::FindSymbol(library, "CleanUpQRXInterface"));
  if (!setBox || !init || !cleanUp) return 11;
  setBox(&Quiet, nullptr);
  if (init(1, "Station.xml", "QRX") != 0) return 12;
  if (cleanUp() != 0) return 13;
  return 0;
}

TEST(PluginUnload, EndOfHostProcessReleasesEveryPlugin) {
  qrx::test::TempFolder folder("unload");
  const std::filesystem::path &root = folder.Root();
  for (const char *name : {"Plugins", "TestDll", "BusinessCfg"})
    std::filesystem::create_directories(root / name);
  const std::string suffix = host::LibrarySuffix();
  for (const char *name : {"BI_QRX", "BI_GSM_QRX"})
    std::filesystem::copy_file(QRX_FAKE_PHONE, root / "Plugins" / (name + suffix));
  for (const char *name : {"TestDllQRXCal", "GsmFt", "TDFT", "FinalTestLTE"})
    std::filesystem::copy_file(QRX_TEST_LIBRARY, root / "TestDll" / (name + suffix));

  // A child process of its own (GoogleTest's, on every system); a normal end of it, so
  // exit-time destructors run.
  EXPECT_EXIT(
      {
        std::filesystem::current_path(root);
        std::exit(HostProcess());
      },
      ::testing::ExitedWithCode(0), "");
  // The phone plug-in (SN object, then root) and the GSM plug-in (root only), each once.
  const std::string text = folder.Read("unload.log");
  EXPECT_NE(text.find("phone sn\nphone root\n"), std::string::npos) << text;
  size_t roots = 0;
  for (size_t at = text.find("phone root"); at != std::string::npos; at = text.find("phone root", at + 1))
    ++roots;
  EXPECT_EQ(roots, 2u) << text;
}

} // namespace
