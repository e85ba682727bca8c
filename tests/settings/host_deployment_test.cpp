// A host that loads the built library from a deployment directory: the station's
// configuration is looked up and created in BusinessCfg beside the library itself, or in the
// deployment that QRX_STATION_DIR names.
#include "platform/host_process.h"
#include "../support/environment.h"
#include "../support/temp_folder.h"

#include <qrx/host_ui.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_texts;
void RecordBox(void *, const char *, const char *text) { g_texts.push_back(text ? text : ""); }

using qrx::test::ReadBytes;
namespace host = qrx::platform::host;

// Loads the library from <root>/lib with the host working in <root>/work, starts a station with
// the configuration "HostStation.xml" and stops it again. `linked`: <root>/lib holds a link to
// the built library, loaded by a relative path, and the host moves to <root> before starting.
void RunHost(const std::filesystem::path &root, bool linked = false) {
  std::filesystem::path work = root / "work";
  std::filesystem::create_directories(root / "lib" / "BusinessCfg");
  std::filesystem::create_directories(work);
  const std::string file = host::InterfaceLibraryFile();
  if (linked)
    std::filesystem::create_symlink(QRX_INTERFACE_LIBRARY, root / "lib" / file);
  else
    std::filesystem::copy_file(QRX_INTERFACE_LIBRARY, root / "lib" / file);
  auto old = std::filesystem::current_path();
  std::filesystem::current_path(work); // the host's working directory is elsewhere

  const std::filesystem::path path = linked ? std::filesystem::path("../lib/" + file) : root / "lib" / file;
  std::string error;
  void *library = host::OpenLibrary(path.string(), false, &error);
  ASSERT_NE(library, nullptr) << error;
  auto setBox = reinterpret_cast<int (*)(QRXMessageBoxFn, void *)>(
      host::FindSymbol(library, "QRX_SetMessageBoxHandler"));
  auto init = reinterpret_cast<int (*)(int, const char *, const char *)>(
      host::FindSymbol(library, "InitQRXInterface"));
  auto cleanUp = reinterpret_cast<int (*)()>(host::FindSymbol(library, "CleanUpQRXInterface"));
  ASSERT_TRUE(setBox && init && cleanUp);
  if (linked) std::filesystem::current_path(root);
  setBox(&RecordBox, nullptr);
  init(2, "HostStation.xml", "QRX"); // the test libraries are missing; only the seeding matters
  cleanUp();
  setBox(nullptr, nullptr);
  host::CloseLibrary(library);
  std::filesystem::current_path(old);
}

// Creating a symbolic link takes a privilege on Windows that a station's user does not have.
#ifdef _WIN32
constexpr bool kLinksWork = false;
#else
constexpr bool kLinksWork = true;
#endif

const char *const kEmptyConfiguration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<phone/>\r\n";

// The configuration is looked up beside the library (also when it is loaded through a link to
// the build: the folder of the link) unless QRX_STATION_DIR names a station, written as a user
// writes it, with or without the trailing slash. A missing file is created where it is looked
// up, and nothing is written anywhere else.
TEST(HostDeploymentTest, ConfigurationIsFoundBesideTheLibraryOrInTheNamedStation) {
  const std::string present =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<phone model=\"M1\"/>\r\n";
  const struct {
    const char *stationDir; // QRX_STATION_DIR below the root, null when unset
    bool linked, exists;
    const char *where, *elsewhere;
  } cases[] = {
      {"", false, false, "lib", "station"}, // empty: not an override
      {nullptr, kLinksWork, false, "lib", "station"},
      {"station", false, true, "station", "lib"},
      {"station/", false, false, "station", "lib"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.stationDir ? c.stationDir : "(unset)") + (c.linked ? ", linked" : ""));
    qrx::test::TempFolder folder("host");
    const std::filesystem::path &root = folder.Root();
    std::filesystem::create_directories(root / "station" / "BusinessCfg");
    if (c.exists)
      std::ofstream(root / "station" / "BusinessCfg" / "HostStation.xml", std::ios::binary) << present;
    {
      std::optional<std::string> stationDir;
      if (c.stationDir) stationDir = *c.stationDir ? (root / c.stationDir).string() : "";
      qrx::test::ScopedEnvironment environment("QRX_STATION_DIR", stationDir);
      RunHost(root, c.linked);
    }
    EXPECT_EQ(ReadBytes(root / c.where / "BusinessCfg" / "HostStation.xml"),
              c.exists ? present : kEmptyConfiguration);
    EXPECT_FALSE(std::filesystem::exists(root / c.elsewhere / "BusinessCfg" / "HostStation.xml"));
    EXPECT_FALSE(std::filesystem::exists(root / "work" / "BusinessCfg"));
    // "加载配置文件" (loading the configuration file): no such message.
    for (const std::string &text : g_texts)
      EXPECT_EQ(text.find("\xBC\xD3\xD4\xD8\xC5\xE4\xD6\xC3\xCE\xC4\xBC\xFE"), std::string::npos)
          << text;
    g_texts.clear();
  }
}

} // namespace
