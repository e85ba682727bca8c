// InitQRXInterface and CleanUpQRXInterface: a station's creation and destruction.
#include "hub/qrx_test_tools.h"
#include "instruments/instrument_manager_interface.h"
#include "interface/export_macros.h"
#include "interface/qrx_export_service.h"
#include "interface/station_registry.h"
#include "interface/test_tool_easy_factory.h"
#include "journal/station_journal.h"
#include "platform/module_path.h"
#include "platform/operator_ui.h"
#include "platform/thread_id.h"
#include "plugins/qrx_bi_download_manager_interface.h"
#include "sn/sn_manager.h"

#include <qrx/qrx_interface.h>

namespace qrx {
namespace {

// Destroys every service of a station that its registry entry or the factory's pointers name.
void DestroyServices(const StationContext &c) {
  if (c.testTools) c.testTools->Release();
  delete c.wifiService;
  delete c.calService;
  delete c.gsmFtService;
  delete c.tdFtService;
  delete c.lteFtService;
  delete c.downloadManager;
  delete c.snManager;
  delete c.instrumentManager;
}

// Builds and registers the station; *made is the hub of a station this call registered.
int StartStation(int threadIndex, const char *configFile, const char *productType,
                 CQRXTestTools **made) {
  const uint32_t threadId = platform::CurrentThreadId();
  StationRegistry &registry = StationRegistry::Instance();
  if (registry.Contains(threadIndex)) return 0;

  auto *hub = new CQRXTestTools(threadIndex, configFile, nullptr);
  CTestToolEasyFactory factory(&registry);
  StationContext s;
  s.threadId = threadId;
  s.testTools = hub;
  const int recognised =
      factory.BuildStation(hub, &s.wifiService, &s.calService, &s.gsmFtService, &s.tdFtService,
                           &s.lteFtService, &s.downloadManager, &s.snManager,
                           &s.instrumentManager, threadIndex, threadId, productType);
  if (!recognised) {
    // Nothing refers to the hub of an unrecognised product type: release it here.
    hub->Release();
    return 0;
  }
  StationContext registered;
  if (!registry.FindByKey(threadIndex, &registered) || registered.testTools != hub) {
    // Another thread took the key between the lookup and the insert: this station was never
    // recorded, so its services are ours to destroy.
    DestroyServices(s);
    return 0;
  }
  *made = hub;
  hub->Initialize();

  IQRXExportService *services[] = {s.wifiService, s.calService, s.gsmFtService, s.tdFtService,
                                   s.lteFtService};
  for (IQRXExportService *service : services) {
    if (service && service->Load() == 0) {
      *made = nullptr;
      CleanUpQRXInterface();
      return 1;
    }
  }
  // Without its plug-in's SN object the station can neither program nor download.
  if ((s.downloadManager && s.downloadManager->Initialize() == 0) ||
      (s.snManager && s.snManager->Initialize() == 0)) {
    *made = nullptr;
    CleanUpQRXInterface();
    return 1;
  }
  return 0;
}

// The journal of a station about to start, when the deployment records; *refused when it
// must record and cannot. Until the station is up, the journal holds what happens.
std::unique_ptr<journal::StationJournal> OpenJournal(int threadIndex, const char *configFile,
                                                     const char *productType, bool *refused) {
  bool required = false;
  std::string problem;
  std::unique_ptr<journal::StationJournal> journal = journal::StationJournal::Open(
      platform::StationDirectory(), threadIndex, productType, configFile, &required, &problem);
  if (journal && !problem.empty() && required) {
    *refused = true;
    platform::ShowMessageBox(nullptr, "Recording.xml requires a journal, but " + problem +
                                          ": the station does not start");
    return nullptr;
  }
  if (journal) journal::StationJournal::SetCurrent(journal.get());
  return journal;
}

} // namespace
} // namespace qrx

QRX_EXPORT int InitQRXInterface(int threadIndex, const char *configFile, const char *productType) {
  using namespace qrx;
  try {
    if (!configFile || !productType) return 1;
    journal::StationJournal *previous = journal::StationJournal::Current();
    bool refused = false;
    std::unique_ptr<journal::StationJournal> journal =
        StationRegistry::Instance().Contains(threadIndex)
            ? nullptr
            : OpenJournal(threadIndex, configFile, productType, &refused);
    if (refused) return 1;
    CQRXTestTools *made = nullptr;
    const int result = StartStation(threadIndex, configFile, productType, &made);
    if (journal) {
      journal->StationStart(result);
      if (made && result == 0) {
        CQRXTestTools *hub = made;
        journal->SetProblemLine([hub](const std::string &line) { hub->TellObservers(line); });
        hub->SetJournal(std::move(journal));
      } else {
        // No station came of it: its journal ends here.
        journal->StationEnd(result);
        journal.reset();
        journal::StationJournal::SetCurrent(previous);
      }
    }
    return result;
  } catch (...) {
    return 1;
  }
}

QRX_EXPORT int CleanUpQRXInterface(void) {
  using namespace qrx;
  try {
    StationContext s;
    int key = 0;
    StationRegistry &registry = StationRegistry::Instance();
    if (!registry.FindByThread(platform::CurrentThreadId(), &s, &key)) return 0;
    if (journal::StationJournal *journal = s.testTools ? s.testTools->Journal() : nullptr)
      journal->StationEnd(0);
    DestroyServices(s);
    registry.Remove(key);
    // Another station of this thread, if any, records what the thread does from now on.
    StationContext next;
    journal::StationJournal::SetCurrent(
        registry.FindByThread(platform::CurrentThreadId(), &next, nullptr) && next.testTools
            ? next.testTools->Journal()
            : nullptr);
    return 0;
  } catch (...) {
    return 1;
  }
}
