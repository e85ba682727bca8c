// Image downloads as qrx-run follows them: the library relays the plug-in's reports to one
// callback, which maps each job to the station that started it, draws the progress and lets a
// sequence's "@wait-download" wait for the end.
#pragma once

#include <qrx/download_event.h>

#include <cstdint>
#include <mutex>
#include <string>

namespace qrx::tools {

int32_t QRX_CALLBACK OnProgress(QRXDownloadEvent e);

// Held around StartDownloadImage: one start at a time, so the job the library announces is the
// station's.
std::unique_lock<std::mutex> HoldDownloadStart(int station);

// Waits up to seconds for the station's download to end: true when it succeeded, with what
// happened in *output.
bool WaitDownload(int station, int seconds, std::string *output);

} // namespace qrx::tools
