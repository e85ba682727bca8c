// Jobs post their progress (no waiting) and send their start and end, so the host sees a
// start before any progress and an end after it. On Windows they use the system's own
// PostMessageA and SendMessageA, as Windows plug-ins do, and the plug-in does not link the
// interface library; elsewhere QRX_PostMessage and QRX_SendMessage.
#include "sim_downloader.h"

#include "../common/download_protocol.h"

#include <qrx/plugin_boundary.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>

namespace qrx::sim {
namespace {

void SendToWindow(void *window, unsigned message, uintptr_t wparam, intptr_t lparam) {
#ifdef _WIN32
  ::SendMessageA(static_cast<HWND>(window), message, wparam, lparam);
#else
  QRX_SendMessage(window, message, wparam, lparam);
#endif
}
void PostToWindow(void *window, unsigned message, uintptr_t wparam, intptr_t lparam) {
#ifdef _WIN32
  ::PostMessageA(static_cast<HWND>(window), message, wparam, lparam);
#else
  QRX_PostMessage(window, message, wparam, lparam);
#endif
}

std::string Lower(std::string text) {
  for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string &text) {
  size_t b = text.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = text.find_last_not_of(" \t\r");
  return text.substr(b, e - b + 1);
}

int TotalMilliseconds() {
  const char *env = std::getenv("QRX_SIM_DOWNLOAD_MS");
  int ms = env ? std::atoi(env) : 1000;
  return std::clamp(ms, 0, 600000);
}

} // namespace

SimDownloader::SimDownloader(std::string settingsFile, std::string sectionOfImage, int firstJob)
    : settingsFile_(std::move(settingsFile)), section_(std::move(sectionOfImage)),
      nextJob_(firstJob) {}

SimDownloader::~SimDownloader() { Shutdown(); }

std::string SimDownloader::ReadIni(const std::string &path, const std::string &section,
                                   const std::string &key) {
  std::ifstream in(path);
  std::string line, current;
  const std::string wantedSection = Lower(section), wantedKey = Lower(key);
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      auto close = line.find(']');
      current = Lower(Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
      continue;
    }
    auto eq = line.find('=');
    if (eq == std::string::npos || current != wantedSection) continue;
    if (Lower(Trim(line.substr(0, eq))) == wantedKey) return Trim(line.substr(eq + 1));
  }
  return "";
}

void SimDownloader::SetWindow(void *window) {
  std::lock_guard<std::mutex> hold(lock_);
  window_ = window;
}

void SimDownloader::SetOption(int option) {
  std::lock_guard<std::mutex> hold(lock_);
  option_ = option;
}

int SimDownloader::Start() {
  // A stop that comes after this call must reach the job, however late its thread starts.
  unsigned generation = stopGeneration_.load();
  std::string image = ReadIni(settingsFile_, section_, "File");
  void *window;
  int job;
  {
    std::lock_guard<std::mutex> hold(lock_);
    window = window_;
    job = nextJob_++;
  }
  std::ifstream file(image, std::ios::binary | std::ios::ate);
  long long size = file ? static_cast<long long>(file.tellg()) : 0;
  if (window) SendToWindow(window, QRX_MSG_PROGRESS_0, static_cast<uintptr_t>(job),
                              static_cast<intptr_t>((size + 1023) / 1024));
  std::lock_guard<std::mutex> hold(lock_);
  ++running_;
  jobs_.emplace_back(&SimDownloader::JobThread, this, job, image, window, generation);
  return job;
}

void SimDownloader::JobThread(int job, std::string image, void *window, unsigned generation) {
#ifdef _WIN32
  HMODULE held = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&PostToWindow), &held);
#endif
  RunJob(job, std::move(image), window, generation);
  {
    std::lock_guard<std::mutex> hold(lock_);
    --running_;
  }
  jobEnded_.notify_all();
#ifdef _WIN32
  if (held) ::FreeLibraryAndExitThread(held, 0);
#endif
}

void SimDownloader::RunJob(int job, std::string image, void *window, unsigned generation) {
  auto report = [&](unsigned message, uintptr_t wparam, bool wait) {
    if (!window || closing_.load()) return;
    if (wait) SendToWindow(window, message, wparam, job);
    else PostToWindow(window, message, wparam, job);
  };
  auto finish = [&](int error) {
    if (error) report(QRX_MSG_PROGRESS_4, static_cast<uintptr_t>(error), false);
    report(QRX_MSG_PROGRESS_3, static_cast<uintptr_t>(error), true);
  };
  if (image.empty()) return finish(kSimDownloadNoImage);
  std::ifstream file(image, std::ios::binary);
  if (!file) return finish(kSimDownloadUnreadable);
  // Read the image in twenty pieces, as a transfer would, pacing the whole job.
  const int steps = 20;
  const auto pause = std::chrono::milliseconds(TotalMilliseconds() / steps);
  std::vector<char> chunk(64 * 1024);
  for (int step = 1; step <= steps; ++step) {
    if (stopGeneration_.load() != generation) return finish(kSimDownloadStopped);
    file.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    std::this_thread::sleep_for(pause);
    report(QRX_MSG_PROGRESS_1, static_cast<uintptr_t>(step * 100 / steps), false);
  }
  report(QRX_MSG_PROGRESS_2, 0, false);
  finish(0);
}

void SimDownloader::Stop() { stopGeneration_.fetch_add(1); }

void SimDownloader::Shutdown() {
  closing_ = true;
  Stop();
  std::vector<std::thread> jobs;
  {
    std::unique_lock<std::mutex> hold(lock_);
    jobEnded_.wait(hold, [this] { return running_ == 0; });
    jobs.swap(jobs_);
  }
  for (std::thread &t : jobs) {
#ifdef _WIN32
    t.detach(); // each thread ends on its own and lets go of the plug-in
#else
    if (t.joinable()) t.join();
#endif
  }
}

} // namespace qrx::sim
