// QRX_BeginUnit and QRX_EndUnit: a host that knows where a device's test begins and ends says
// so, and the station journal takes its word over its own inference; QRX_GetUnitId tells it the
// id its unit is recorded under.
#include "hub/qrx_test_tools.h"
#include "interface/export_macros.h"
#include "interface/station_context.h"
#include "journal/station_journal.h"

#include <qrx/host_events.h>

#include <cstring>

namespace {

qrx::CQRXTestTools *CallersHub() {
  qrx::StationContext station;
  return qrx::FindStation(&station) ? station.testTools : nullptr;
}

} // namespace

QRX_EXPORT int QRX_BeginUnit(const char *serial) {
  qrx::CQRXTestTools *hub = CallersHub();
  if (!hub) return 1;
  if (qrx::journal::StationJournal *journal = hub->Journal())
    journal->HostBeginUnit(serial ? serial : "");
  return 0;
}

QRX_EXPORT int QRX_EndUnit(int verdict) {
  qrx::CQRXTestTools *hub = CallersHub();
  if (!hub) return 1;
  if (qrx::journal::StationJournal *journal = hub->Journal()) journal->HostEndUnit(verdict);
  return 0;
}

QRX_EXPORT int QRX_GetUnitId(char *buffer, int size) {
  if (buffer && size > 0) buffer[0] = '\0';
  qrx::CQRXTestTools *hub = CallersHub();
  if (!hub) return 1;
  qrx::journal::StationJournal *journal = hub->Journal();
  const std::string id = journal ? journal->OpenUnitId() : std::string();
  if (id.empty()) return 2;
  if (!buffer || size <= 0 || id.size() >= static_cast<size_t>(size)) return 3;
  std::memcpy(buffer, id.c_str(), id.size() + 1);
  return 0;
}
