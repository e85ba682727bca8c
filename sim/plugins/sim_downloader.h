// The transfer engine of the simulated phone and UFI plug-ins: reads the image named in the
// plug-in's download settings file and "writes" it to the device on a thread of its own,
// reporting progress to the window the interface library handed over.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qrx::sim {

class SimDownloader {
public:
  // settingsFile: the INI file whose section names the image ("DownloadImage"/"File").
  // Jobs are numbered from firstJob: each plug-in has its own range, so job numbers stay
  // unique in a host that downloads through several plug-ins at once.
  SimDownloader(std::string settingsFile, std::string sectionOfImage, int firstJob);
  ~SimDownloader();

  const char *SettingsFile() const { return settingsFile_.c_str(); }
  void SetWindow(void *window);
  void SetOption(int option);
  // Starts a job on the image the settings file names now; the start event is sent
  // before Start returns. Returns the job number, 0 when nothing could be started.
  int Start();
  // Asks every running job to stop; each reports kind 3 with failure.
  void Stop();
  // Stops and waits for every job (plug-in unload).
  void Shutdown();

  // Value of key in section of an INI file, names compared without regard to case.
  static std::string ReadIni(const std::string &path, const std::string &section,
                             const std::string &key);

private:
  void RunJob(int job, std::string image, void *window, unsigned generation);
  // A job's thread: RunJob, then the job counts as ended. On Windows the thread holds the
  // plug-in loaded while it runs and ends through FreeLibraryAndExitThread, so Shutdown, which
  // the interface library may call while the system's loader lock is held, waits for the
  // jobs to end rather than for their threads.
  void JobThread(int job, std::string image, void *window, unsigned generation);

  std::string settingsFile_;
  std::string section_;
  std::mutex lock_;
  void *window_ = nullptr;
  int option_ = 0;
  int nextJob_ = 1;
  std::atomic<unsigned> stopGeneration_{0};
  // Set at unload: the progress window may already be gone, so jobs report nothing more.
  std::atomic<bool> closing_{false};
  std::vector<std::thread> jobs_;
  std::condition_variable jobEnded_;
  int running_ = 0; // guarded by lock_
};

} // namespace qrx::sim
