#include "download_watch.h"

#include "run_console.h"
#include "run_line.h"
#if QRX_RUN_WITH_WEB
#include "web_line.h"
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>

namespace qrx::tools {
namespace {

struct DownloadState {
  int job = 0;
  bool finished = false;
  bool success = false;
  int percent = 0;
  int reportedPercent = -1;
};
std::mutex g_downloadLock;
std::condition_variable g_downloadChanged;
std::mutex g_startLock;
std::atomic<int> g_startingStation{0};
std::map<int, int> g_jobStation;
std::map<int, DownloadState> g_downloads; // by station

void DrawBar(int station, int percent) {
  std::string bar(20, '.');
  for (int i = 0; i < percent / 5 && i < 20; ++i) bar[static_cast<size_t>(i)] = '#';
  Print(station, "download [" + bar + "] " + std::to_string(percent) + "%");
}

} // namespace

int32_t QRX_CALLBACK OnProgress(QRXDownloadEvent e) {
  int station = 0;
  int job = e.kind == 0 ? e.value3 : e.kind == 1 ? e.value4 : e.value1;
  bool report = true; // each start, bar step and end is printed once per download
  {
    std::lock_guard<std::mutex> hold(g_downloadLock);
    if (e.kind == 0) {
      station = g_startingStation.load();
      g_jobStation[job] = station;
      g_downloads[station] = DownloadState{job, false, false, 0};
    } else {
      auto it = g_jobStation.find(job);
      if (it == g_jobStation.end()) return 0;
      station = it->second;
    }
    DownloadState &d = g_downloads[station];
    if (d.job != job) return 0;
    if (e.kind == 1) {
      d.percent = e.value1;
      report = e.value1 % 25 == 0 && e.value1 != d.reportedPercent;
      if (report) d.reportedPercent = e.value1;
    }
    if (e.kind == 3) {
      report = !d.finished;
      if (d.finished) return 0;
      d.finished = true;
      d.success = e.value5 == 1;
    }
  }
  g_downloadChanged.notify_all();
#if QRX_RUN_WITH_WEB
  if (WebLine *web = Line().web) {
    if (e.kind == 0) web->Monitor().DownloadProgress(station, 0);
    else if (e.kind == 1) web->Monitor().DownloadProgress(station, e.value1);
    else if (e.kind == 3 && report) web->Monitor().DownloadEnded(station, e.value5 == 1);
  }
#endif
  if (e.kind == 0) Print(station, "download job " + std::to_string(job) + " started (" + std::to_string(e.value1) + " KiB)");
  else if (e.kind == 1 && report) DrawBar(station, e.value1);
  else if (e.kind == 2) Print(station, "download verifying");
  else if (e.kind == 4) Print(station, "download error " + std::to_string(e.value2));
  else if (e.kind == 3 && report)
    Print(station, std::string("download ") + (e.value5 == 1 ? "finished" : "failed"));
  return 0;
}

std::unique_lock<std::mutex> HoldDownloadStart(int station) {
  std::unique_lock<std::mutex> hold(g_startLock);
  g_startingStation = station;
  return hold;
}

bool WaitDownload(int station, int seconds, std::string *output) {
  std::unique_lock<std::mutex> lock(g_downloadLock);
  auto it = g_downloads.find(station);
  if (it == g_downloads.end()) {
    *output = "no download was started on this station";
    return false;
  }
  bool done = g_downloadChanged.wait_for(lock, std::chrono::seconds(seconds), [&] {
    return g_downloads[station].finished;
  });
  DownloadState d = g_downloads[station];
  g_downloads.erase(station);
  if (!done) {
    *output = "the download did not finish within " + std::to_string(seconds) + " s";
    return false;
  }
  *output = "job " + std::to_string(d.job) + (d.success ? " succeeded" : " failed");
  return d.success;
}

} // namespace qrx::tools
