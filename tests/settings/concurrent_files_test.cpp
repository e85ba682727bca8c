// Stations on several threads rewriting one setting file while others read it: every reader
// sees a whole file (one of the versions written), never a half-written one.
#include "hub/qrx_setting_service.h"
#include "platform/module_path.h"

#include <qrx/host_ui.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace qrx {
namespace {

std::atomic<int> g_boxes{0};
void CountBox(void *, const char *, const char *) { g_boxes.fetch_add(1); }

TEST(ConcurrentSettingFiles, ReadersNeverSeeAHalfWrittenFile) {
  char tmpl[] = "/tmp/qrx-settings-mt-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  std::string root = std::string(tmpl) + "/";
  std::filesystem::create_directories(root + "BusinessCfg");
  QRX_SetMessageBoxHandler(&CountBox, nullptr);

  constexpr int kWriters = 2, kReaders = 2, kRounds = 150;
  // A long value makes a torn write likely to be seen if the file were written in place.
  const std::string padding(20000, 'p');
  std::atomic<int> badReads{0};
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      CQRXSettingService service(root);
      for (int i = 0; i < kRounds; ++i) {
        ISettingFile *file = service.OpenSettingFile("Shared.xml", "");
        file->SetValue("S", "Writer", std::to_string(w));
        file->SetValue("S", "Padding", padding);
        file->SetInt("S", "Round", i);
        file->Release();
      }
    });
  }
  for (int r = 0; r < kReaders; ++r) {
    threads.emplace_back([&] {
      CQRXSettingService service(root);
      for (int i = 0; i < kRounds; ++i) {
        ISettingFile *file = service.OpenSettingFile("Shared.xml", "");
        std::string padded = file->GetValue("S", "Padding");
        if (!padded.empty() && padded != padding) badReads.fetch_add(1);
        file->Release();
      }
    });
  }
  for (auto &t : threads) t.join();
  QRX_SetMessageBoxHandler(nullptr, nullptr);

  EXPECT_EQ(g_boxes.load(), 0) << "no load or save failed";
  EXPECT_EQ(badReads.load(), 0);
  CQRXSettingService service(root);
  ISettingFile *file = service.OpenSettingFile("Shared.xml", "");
  int round = -1;
  file->GetInt("S", "Round", &round);
  EXPECT_EQ(round, kRounds - 1) << "the last file released holds its last round";
  file->Release();
  size_t entries = 0;
  for (auto &e : std::filesystem::directory_iterator(root + "BusinessCfg")) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1u) << "no temporary file is left behind";
  std::filesystem::remove_all(tmpl);
}

} // namespace
} // namespace qrx
