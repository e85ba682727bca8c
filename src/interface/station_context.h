// The per-station record kept in the station registry: the thread that made the station,
// its hub and the eight service pointers chosen by product type. Any service may be null.
#pragma once

#include <cstdint>

namespace qrx {

class CQRXTestTools;
class CWiFiDllManager;
class CQRXBLService;
class CQRXGsmFtService;
class CQRXTDFtService;
class CQRXLTEFtService;
class IQRXBIDownloadManager;
class ISNManager;
class IInstrumentManager;

struct StationContext {
  uint32_t threadId = 0;
  CQRXTestTools *testTools = nullptr;
  CWiFiDllManager *wifiService = nullptr;
  CQRXBLService *calService = nullptr;
  CQRXGsmFtService *gsmFtService = nullptr;
  CQRXTDFtService *tdFtService = nullptr;
  CQRXLTEFtService *lteFtService = nullptr;
  IQRXBIDownloadManager *downloadManager = nullptr;
  ISNManager *snManager = nullptr;
  IInstrumentManager *instrumentManager = nullptr;
};

// Looks up the calling thread's station: the registry entry with the lowest key whose
// threadId is the caller's. Never throws; false when the thread has none.
bool FindStation(StationContext *out);

} // namespace qrx
