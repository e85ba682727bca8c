// A host process with the real shared library: when the process ends, every BI plug-in gets
// its releases (SN object before root object) and the progress window is gone before them.
#include "../support/station_folder.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace {

void Quiet(void *, const char *, const char *) {}

// Runs in the child: loads the library as a host linked against it would, brings a phone
// station up and down, and leaves the rest to the end of the process.
int HostProcess() {
  void *library = ::dlopen(QRX_LIBRARY, RTLD_NOW | RTLD_GLOBAL);
  if (!library) return 10;
  auto setBox = reinterpret_cast<int (*)(QRXMessageBoxFn, void *)>(
      ::dlsym(library, "QRX_SetMessageBoxHandler"));
  auto init = reinterpret_cast<int (*)(int, const char *, const char *)>(
      ::dlsym(library, "InitQRXInterface"));
  auto cleanUp = reinterpret_cast<int (*)()>(::dlsym(library, "CleanUpQRXInterface"));
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
  for (const char *name : {"BI_QRX.so", "BI_GSM_QRX.so"})
    std::filesystem::copy_file(QRX_FAKE_PHONE, root / "Plugins" / name);
  for (const char *name : {"TestDllQRXCal.so", "GsmFt.so", "TDFT.so", "FinalTestLTE.so"})
    std::filesystem::copy_file(QRX_TEST_LIBRARY, root / "TestDll" / name);

  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chdir(root.c_str()) != 0) std::_Exit(9);
    std::exit(HostProcess()); // a normal end: exit-time destructors run
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // The phone plug-in (SN object, then root) and the GSM plug-in (root only), each once.
  const std::string text = folder.Read("unload.log");
  EXPECT_NE(text.find("phone sn\nphone root\n"), std::string::npos) << text;
  size_t roots = 0;
  for (size_t at = text.find("phone root"); at != std::string::npos; at = text.find("phone root", at + 1))
    ++roots;
  EXPECT_EQ(roots, 2u) << text;
}

} // namespace
