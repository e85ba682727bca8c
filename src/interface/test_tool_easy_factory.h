// Creates a station's services for its product type and records the station in the registry.
#pragma once

#include "interface/station_context.h"

namespace qrx {

class StationRegistry;

class CTestToolEasyFactory {
public:
  explicit CTestToolEasyFactory(StationRegistry *registry) : registry_(registry) {}
  virtual ~CTestToolEasyFactory() = default;

  // 1 when productType ("QRX" or "UFI", any letter case) was recognised and the station
  // recorded under threadIndex (an existing key is left as it is); 0 otherwise.
  int BuildStation(CQRXTestTools *hub, CWiFiDllManager **wifi, CQRXBLService **cal,
                   CQRXGsmFtService **gsmFt, CQRXTDFtService **tdFt, CQRXLTEFtService **lteFt,
                   IQRXBIDownloadManager **download, ISNManager **sn,
                   IInstrumentManager **instrument, int threadIndex, uint32_t threadId,
                   const char *productType);

private:
  StationRegistry *registry_;
};

} // namespace qrx
