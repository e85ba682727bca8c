// A host that loads the built library from a deployment directory: the station's
// configuration is looked up and created in BusinessCfg beside the library itself.
#include <qrx/host_ui.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_texts;
void RecordBox(void *, const char *, const char *text) { g_texts.push_back(text ? text : ""); }

std::string ReadBytes(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(HostDeploymentTest, ConfigurationIsCreatedBesideTheLoadedLibrary) {
  char tmpl[] = "/tmp/qrx-host-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  std::filesystem::path root = tmpl;
  std::filesystem::path work = root / "work";
  std::filesystem::create_directories(root / "lib" / "BusinessCfg");
  std::filesystem::create_directories(work);
  std::filesystem::copy_file(QRX_INTERFACE_LIBRARY, root / "lib" / "libQRXInterface.so");
  auto old = std::filesystem::current_path();
  std::filesystem::current_path(work); // the host's working directory is elsewhere

  void *library = ::dlopen((root / "lib" / "libQRXInterface.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  auto setBox = reinterpret_cast<int (*)(QRXMessageBoxFn, void *)>(
      ::dlsym(library, "QRX_SetMessageBoxHandler"));
  auto init = reinterpret_cast<int (*)(int, const char *, const char *)>(
      ::dlsym(library, "InitQRXInterface"));
  auto cleanUp = reinterpret_cast<int (*)()>(::dlsym(library, "CleanUpQRXInterface"));
  ASSERT_TRUE(setBox && init && cleanUp);
  setBox(&RecordBox, nullptr);
  init(2, "HostStation.xml", "QRX"); // the test libraries are missing; only the seeding matters
  cleanUp();
  setBox(nullptr, nullptr);
  ::dlclose(library);
  std::filesystem::current_path(old);

  EXPECT_EQ(ReadBytes(root / "lib" / "BusinessCfg" / "HostStation.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<phone/>\r\n");
  EXPECT_FALSE(std::filesystem::exists(work / "BusinessCfg"));
  // "加载配置文件" (loading the configuration file): no such message.
  for (const std::string &text : g_texts)
    EXPECT_EQ(text.find("\xBC\xD3\xD4\xD8\xC5\xE4\xD6\xC3\xCE\xC4\xBC\xFE"), std::string::npos) << text;
  std::filesystem::remove_all(root);
}

} // namespace
