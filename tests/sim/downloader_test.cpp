// The simulated plug-ins' download engine, with the relay exports replaced by a recorder: how a
// job ends when it is stopped, its image is missing or the plug-in is unloaded (the progress a
// host's callback sees of a whole download is checked through the library by python/tests).
#include "../../sim/common/download_protocol.h"
#include "../../sim/plugins/sim_downloader.h"
#include "state_folder.h"

#include <qrx/plugin_boundary.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Report {
  unsigned message;
  uintptr_t wparam;
};
std::mutex g_lock;
std::vector<Report> g_reports;

std::vector<Report> Reports() {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_reports;
}

bool WaitFor(unsigned message) {
  for (int i = 0; i < 500; ++i) {
    for (const Report &r : Reports())
      if (r.message == message) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

} // namespace

extern "C" intptr_t QRX_SendMessage(void *, unsigned m, uintptr_t w, intptr_t) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_reports.push_back({m, w});
  return 0;
}
extern "C" int QRX_PostMessage(void *window, unsigned m, uintptr_t w, intptr_t l) {
  QRX_SendMessage(window, m, w, l);
  return 1;
}

namespace {

class Downloader : public qrx::simtest::StateFolder {
protected:
  void SetUp() override {
    StateFolder::SetUp();
    ini_ = (dir_ / "dl.ini").string();
    image_ = (dir_ / "image.bin").string();
    std::ofstream(image_) << std::string(3000, 'x');
    qrx::test::SetEnvironment("QRX_SIM_DOWNLOAD_MS", "100");
    std::lock_guard<std::mutex> hold(g_lock);
    g_reports.clear();
  }
  void WriteIni(const std::string &text) { std::ofstream(ini_) << text; }

  std::string ini_, image_;
  int window_ = 0;
};

TEST_F(Downloader, StopAndMissingImagesEndTheJobWithAFailure) {
  WriteIni("[DownloadImage]\nFile=" + (dir_ / "missing.bin").string() + "\n");
  qrx::sim::SimDownloader d(ini_, "DownloadImage", 1);
  d.SetWindow(&window_);
  d.Start();
  ASSERT_TRUE(WaitFor(QRX_MSG_PROGRESS_3));
  auto reports = Reports();
  EXPECT_EQ(reports[reports.size() - 2].message, static_cast<unsigned>(QRX_MSG_PROGRESS_4));
  EXPECT_EQ(reports.back().wparam, static_cast<uintptr_t>(kSimDownloadUnreadable));
  {
    std::lock_guard<std::mutex> hold(g_lock);
    g_reports.clear();
  }
  qrx::test::SetEnvironment("QRX_SIM_DOWNLOAD_MS", "5000");
  WriteIni("[DownloadImage]\nFile=" + image_ + "\n");
  d.Start();
  d.Stop();
  ASSERT_TRUE(WaitFor(QRX_MSG_PROGRESS_3));
  EXPECT_EQ(Reports().back().wparam, static_cast<uintptr_t>(kSimDownloadStopped));
}

TEST_F(Downloader, UnloadWaitsForJobsAndReportsNothingMore) {
  qrx::test::SetEnvironment("QRX_SIM_DOWNLOAD_MS", "5000");
  // Section and key names compare without case, as the system's profile functions compare them.
  WriteIni("; comment\r\n[DOWNLOADIMAGEUFI]\r\nFILE = b.bin\r\n[DownloadImage]\r\nfile=" + image_ + "\r\n");
  EXPECT_EQ(qrx::sim::SimDownloader::ReadIni(ini_, "downloadimage", "File"), image_);
  EXPECT_EQ(qrx::sim::SimDownloader::ReadIni(ini_, "DownloadImageUFI", "file"), "b.bin");
  EXPECT_EQ(qrx::sim::SimDownloader::ReadIni(ini_, "DownloadImage", "Other"), "");
  auto d = std::make_unique<qrx::sim::SimDownloader>(ini_, "DownloadImage", 1);
  d->SetWindow(&window_);
  d->Start();
  size_t before = Reports().size();
  auto t0 = std::chrono::steady_clock::now();
  d.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  EXPECT_LE(Reports().size(), before + 1); // at most a progress report already under way
  for (const Report &r : Reports()) EXPECT_NE(r.message, static_cast<unsigned>(QRX_MSG_PROGRESS_3));
}

} // namespace
