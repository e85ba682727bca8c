// Service creation per product type: UFI stations add the WiFi service.
#include "interface/test_tool_easy_factory.h"

#include "hub/qrx_test_tools.h"
#include "interface/qrx_export_service.h"
#include "instruments/instrument_manager.h"
#include "interface/station_registry.h"
#include "plugins/qrx_bi_download_manager.h"
#include "plugins/qrx_ufi_bi_download_manager.h"
#include "sn/sssn_qrx_manager.h"
#include "sn/ssnufi_manager.h"

#include <strings.h>

namespace qrx {

int CTestToolEasyFactory::BuildStation(CQRXTestTools *hub, CWiFiDllManager **wifi,
                                       CQRXBLService **cal, CQRXGsmFtService **gsmFt,
                                       CQRXTDFtService **tdFt, CQRXLTEFtService **lteFt,
                                       IQRXBIDownloadManager **download, ISNManager **sn,
                                       IInstrumentManager **instrument, int threadIndex,
                                       uint32_t threadId, const char *productType) {
  if (!productType || !hub) return 0;
  const bool qrx = ::strcasecmp(productType, "QRX") == 0;
  const bool ufi = !qrx && ::strcasecmp(productType, "UFI") == 0;
  if (!qrx && !ufi) return 0;

  *wifi = ufi ? new CWiFiDllManager(hub) : nullptr;
  *cal = new CQRXBLService(hub);
  *gsmFt = new CQRXGsmFtService(hub);
  *tdFt = new CQRXTDFtService(hub);
  *lteFt = new CQRXLTEFtService(hub);
  if (ufi) {
    *download = new CQRXUFiBIDownloadManager(hub);
    *sn = new CSSNUFIManager(hub);
  } else {
    *download = new CQRXBIDownloadManager(hub);
    *sn = new CSSSNQRXManager(hub);
  }
  // Both product types get an instrument manager; nothing here loads it.
  *instrument = new CInstrumentManager(hub);

  StationContext context;
  context.threadId = threadId;
  context.testTools = hub;
  context.wifiService = *wifi;
  context.calService = *cal;
  context.gsmFtService = *gsmFt;
  context.tdFtService = *tdFt;
  context.lteFtService = *lteFt;
  context.downloadManager = *download;
  context.snManager = *sn;
  context.instrumentManager = *instrument;
  registry_->InsertIfAbsent(threadIndex, context);
  return 1;
}

} // namespace qrx
