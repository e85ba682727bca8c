// The forwarding of every export except the station lifecycle: test-library calls with their
// staging, the read-back variants, the observer exports and the manager operations.
#include "interface/export_forwarder.h"

#include "hub/qrx_test_tools.h"
#include "interface/qrx_export_service.h"
#include "interface/read_back_sizes.h"
#include "interface/station_context.h"
#include "journal/station_journal.h"
#include "plugins/qrx_bi_download_manager_interface.h"
#include "sn/sn_manager.h"

#include <qrx/qrx_interface.h>

#include <array>
#include <charconv>
#include <cstring>
#include <string>

namespace qrx {
namespace {

// The serial number a test library reports when the device has none.
constexpr std::string_view kPlaceholderSerial = "FFFFFFFFFFFF";

// Room for any "%f" text of a double (DBL_MAX has 309 integer digits) and any "%d" text.
constexpr size_t kNumberTextSize = 330;
// The most staged entries any row has.
constexpr size_t kMostStaged = [] {
  size_t most = 0;
  for (const ExportRow &row : kExportCatalogue) most = row.staged.size() > most ? row.staged.size() : most;
  return most;
}();

IQRXExportService *ServiceOf(const StationContext &station, ExportService service) {
  switch (service) {
  case ExportService::kCal:
    return station.calService;
  case ExportService::kGsmFt:
    return station.gsmFtService;
  case ExportService::kTdFt:
    return station.tdFtService;
  case ExportService::kLteFt:
    return station.lteFtService;
  case ExportService::kWifi:
    return station.wifiService;
  default:
    return nullptr;
  }
}

// Writes what "%d" or "%f" would write, independent of the process's locale (a host that set
// a comma locale must not change what test libraries parse).
void FormatNumber(char format, const ExportArgument &argument, char (&out)[kNumberTextSize]) {
  std::to_chars_result r;
  if (format == 'd')
    r = std::to_chars(out, out + kNumberTextSize - 1, argument.integer);
  else
    r = std::to_chars(out, out + kNumberTextSize - 1, argument.real, std::chars_format::fixed, 6);
  *(r.ec == std::errc() ? r.ptr : out) = '\0';
}

// The staging of one export call. Names are looked up once per entry and kept here by value
// for the unstaging: the test library may re-enter a staged export, whose start of call can
// forget the cache's names when "Common.xml" changed meanwhile.
class Staging {
public:
  Staging(CQRXTestTools *hub, const ExportRow &row, const ExportArgument *arguments)
      : hub_(hub), row_(row), arguments_(arguments) {}

  // Formats the numbers and checks the texts; false when a text argument is null.
  bool Prepare() {
    for (size_t i = 0; i < row_.staged.size(); ++i) {
      const StagedEntry &entry = row_.staged[i];
      if (entry.format == 's') {
        texts_[i] = arguments_[entry.argument - 1].text;
        if (!texts_[i]) return false;
        continue;
      }
      ExportArgument value{};
      if (entry.argument == 0) value.real = 0.0; // the optional offset's constant
      else value = arguments_[entry.argument - 1];
      FormatNumber(entry.format, value, numbers_[i]);
      texts_[i] = numbers_[i];
    }
    return true;
  }

  // Stages every entry in row order; false at the first one without a staging name, with the
  // entries before it left staged.
  bool Stage() { return StageFirst(row_.staged.size()); }
  bool StageFirst(size_t count) {
    if (!hub_) return false;
    CStagingNameCache &cache = hub_->StagingNames();
    IDataSet *parameters = hub_->GetParameterDataSet();
    for (size_t i = 0; i < count; ++i) {
      const std::string &name = cache.Name(row_.staged[i].section, row_.staged[i].key);
      if (name.empty()) return false;
      names_[i] = name;
      parameters->SetString(name, texts_[i]);
    }
    return true;
  }

  // Erases every entry of the row, staged or not, in row order.
  void Unstage() {
    if (!hub_) return;
    CStagingNameCache &cache = hub_->StagingNames();
    IDataSet *parameters = hub_->GetParameterDataSet();
    for (size_t i = 0; i < row_.staged.size(); ++i) {
      // Enabled, the cache gave the names of the staging, kept here; disabled, every
      // unstaging reads the file again, as the uncached path always did.
      const std::string &name =
          !names_[i].empty() && cache.Enabled()
              ? names_[i]
              : cache.Name(row_.staged[i].section, row_.staged[i].key);
      if (name.empty()) continue;
      std::string erase = "erase";
      parameters->GetString(name, erase);
    }
  }

private:
  CQRXTestTools *hub_;
  const ExportRow &row_;
  const ExportArgument *arguments_;
  std::array<const char *, kMostStaged> texts_{};
  std::array<std::string, kMostStaged> names_{}; // empty: not staged
  char numbers_[kMostStaged][kNumberTextSize];
};

// The result data set's "Sn" text, empty when the entry is missing.
std::string ResultSerial(CQRXTestTools *hub) {
  std::string serial;
  if (hub && hub->GetResultDataSet()->GetString("Sn", serial) != 0) serial.clear();
  return serial;
}

// Copies a read-back text into the host's buffer of QRX_READBACK_BUFFER_SIZE bytes; a text
// that would not fit is refused (1) rather than cut, since a cut serial number names another
// device.
int32_t CopyReadBack(const std::string &text, char *buffer, journal::ExportReadBack *readBack) {
  if (text.size() >= QRX_READBACK_BUFFER_SIZE) return 1;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  if (readBack) {
    readBack->present = true;
    readBack->text = text;
  }
  return 0;
}

int32_t CallTestLibrary(const StationContext &station, const ExportRow &row,
                        const ExportArgument *arguments, journal::ExportReadBack *readBack) {
  IQRXExportService *service = ServiceOf(station, row.service);
  CQRXTestTools *hub = station.testTools;
  const std::string library(row.libraryFunction);

  switch (row.shape) {
  case ExportShape::kPlain:
    return service ? service->CallExport(library.c_str()) : 1;

  case ExportShape::kSerialCheckA:
  case ExportShape::kSerialCheckB: {
    char *buffer = arguments[0].buffer;
    if (!service || !buffer) return 1;
    const int32_t result = service->CallExport(library.c_str());
    if (result != 0) return result;
    const std::string serial = ResultSerial(hub);
    if (serial == kPlaceholderSerial) return row.shape == ExportShape::kSerialCheckA ? 1 : 0;
    return CopyReadBack(serial, buffer, readBack);
  }

  case ExportShape::kReadPower: {
    double *power = arguments[0].realOut;
    if (!service || !power) return 1;
    const int32_t result = service->CallExport(library.c_str());
    if (result != 0) return result;
    const int32_t read = hub ? hub->GetResultDataSet()->GetDouble("Power", power) : -1;
    if (readBack && read == 0) {
      readBack->present = readBack->isNumber = true;
      readBack->number = *power;
    }
    return read;
  }

  case ExportShape::kOptionalOffset: {
    // The offset 0.0 is staged only for the flag 1, but its entry is erased in any case.
    Staging staging(hub, row, arguments);
    staging.Prepare();
    if (arguments[0].integer == 1 && !staging.Stage()) return 1;
    if (!service) return 1;
    const int32_t result = service->CallExport(library.c_str());
    staging.Unstage();
    return result;
  }

  case ExportShape::kStaged:
  case ExportShape::kReadBarcode: {
    char *buffer = row.shape == ExportShape::kReadBarcode ? arguments[0].buffer : nullptr;
    if (row.shape == ExportShape::kReadBarcode && !buffer) return 1;
    Staging staging(hub, row, arguments);
    if (!staging.Prepare()) return 1;
    if (row.order == StagingOrder::kServiceFirst && !service) return 1;
    if (!staging.Stage()) return 1;
    if (!service) return 1;
    const int32_t result = service->CallExport(library.c_str());
    staging.Unstage();
    if (row.shape != ExportShape::kReadBarcode || result != 0) return result;
    return CopyReadBack(ResultSerial(hub), buffer, readBack);
  }

  default:
    return 1;
  }
}

int32_t CallSerialManager(ISNManager *sn, ManagerOperation operation, const ExportArgument *a) {
  // ReadTestInfo's item 21 is the same flag as item 4, the one WriteFTFlag18G_LTEFT writes.
  auto item = [](int32_t value) { return value == 21 ? 4 : value; };
  switch (operation) {
  case ManagerOperation::kTDDLTE_TxInit_CabLoss:
    return sn->TDDLTE_TxInit_CabLoss(a[0].integer, a[1].integer, a[2].integer, a[3].integer,
                                     a[4].integer, a[5].integer, a[6].integer, a[7].integer);
  case ManagerOperation::kTDDLTE_TxClose_CabLoss:
    return sn->TDDLTE_TxClose_CabLoss();
  case ManagerOperation::kFDDLTE_TxInit_CabLoss:
    return sn->FDDLTE_TxInit_CabLoss(a[0].integer, a[1].integer, a[2].integer, a[3].integer,
                                     a[4].integer, a[5].integer, a[6].integer, a[7].integer);
  case ManagerOperation::kFDDLTE_TxClose_CabLoss:
    return sn->FDDLTE_TxClose_CabLoss();
  case ManagerOperation::kInit_TestDLL_SN:
    return sn->Init_TestDLL_SN();
  case ManagerOperation::kOpenPort:
    return sn->OpenPort(a[0].integer, a[1].integer);
  case ManagerOperation::kClosePort:
    return sn->ClosePort();
  case ManagerOperation::kWriteSN:
    return sn->WriteSN(a[0].text, a[1].integer);
  case ManagerOperation::kReadSN:
    return sn->ReadSN(a[0].buffer, a[1].integer);
  case ManagerOperation::kWriteMSN:
    return sn->WriteMSN(a[0].text, a[1].integer);
  case ManagerOperation::kReadMSN:
    return sn->ReadMSN(a[0].buffer, a[1].integer);
  case ManagerOperation::kWriteIMEI:
    return sn->WriteIMEI(a[0].text, a[1].integer);
  case ManagerOperation::kReadIMEI:
    return sn->ReadIMEI(a[0].buffer, a[1].integer);
  case ManagerOperation::kWritePSN16Bit:
    return sn->WritePSN16Bit(a[0].text, a[1].integer);
  case ManagerOperation::kReadPSN16Bit:
    return sn->ReadPSN16Bit(a[0].buffer, a[1].integer);
  case ManagerOperation::kReadIntSoftVersion:
    return sn->ReadIntSoftVersion(a[0].buffer, a[1].integer);
  case ManagerOperation::kReadTestInfo:
    return sn->ReadTestInfo(item(a[0].integer), a[1].buffer);
  case ManagerOperation::kReadTestInfo_AT:
    return sn->ReadTestInfo_AT(item(a[0].integer), a[1].buffer);
  case ManagerOperation::kWriteTestFlag:
    return sn->WriteTestFlag(4, "1");
  case ManagerOperation::kWriteMAC:
    return sn->WriteMAC(a[0].text);
  case ManagerOperation::kReadMAC:
    return sn->ReadMAC(a[0].buffer);
  case ManagerOperation::kWriteSSID:
    return sn->WriteSSID();
  case ManagerOperation::kReadSSID:
    return sn->ReadSSID(a[0].buffer);
  case ManagerOperation::kReadTestInfo_UFI:
    return sn->ReadTestInfo_UFI(a[0].buffer);
  case ManagerOperation::kReadIntSoftVersion_UFI:
    return sn->ReadIntSoftVersion_UFI(a[0].buffer);
  default:
    return 1;
  }
}

int32_t CallDownloadManager(IQRXBIDownloadManager *download, ManagerOperation operation,
                            const ExportArgument *a) {
  // The texts are copied into the string objects the manager takes; a null text becomes an
  // empty one, which the manager refuses as it refuses any unusable path.
  auto text = [](const char *t) { return t ? CString(t) : CString(); };
  switch (operation) {
  case ManagerOperation::kPrepareDownload:
    return download->PrepareDownload();
  case ManagerOperation::kStartDownload:
    return download->StartDownload(text(a[0].text), a[1].integer, a[2].callback, text(a[3].text),
                                   a[4].integer, a[5].integer, text(a[6].text));
  case ManagerOperation::kStopDownload:
    return download->StopDownload();
  default:
    return 1;
  }
}

int32_t Dispatch(const StationContext &station, const ExportRow &row,
                 const ExportArgument *arguments, journal::ExportReadBack *readBack) {
  switch (row.shape) {
  case ExportShape::kLifecycle:
    return 1; // made and destroyed by the registry, never forwarded
  case ExportShape::kObserver: {
    if (!station.testTools) return 1;
    const int added = row.name == "RegisterObserver"
                          ? station.testTools->RegisterLogObserver(arguments[0].observer)
                          : station.testTools->UnregisterLogObserver(arguments[0].observer);
    return added ? 0 : 1;
  }
  case ExportShape::kManager:
    if (row.service == ExportService::kSnManager)
      return station.snManager ? CallSerialManager(station.snManager, row.operation, arguments) : 1;
    return station.downloadManager
               ? CallDownloadManager(station.downloadManager, row.operation, arguments)
               : 1;
  default:
    // One look at "Common.xml" per call: the names then hold for all of its arguments.
    if (!row.staged.empty() && station.testTools) station.testTools->StagingNames().BeginCall();
    return CallTestLibrary(station, row, arguments, readBack);
  }
}

// The text a manager operation left in the host's buffer. Read only after success, when the
// manager has written a terminated text there, and never past the export's buffer size.
void ManagerReadBack(const ExportRow &row, const ExportArgument *arguments,
                     journal::ExportReadBack *readBack) {
  const size_t at = row.arguments.find(argument_type::kTextBuffer);
  if (at == std::string_view::npos || !arguments[at].buffer) return;
  const ReadBackSize *size = FindReadBackSize(row.name);
  const size_t bound = size && size->bytes ? size->bytes : QRX_READBACK_BUFFER_SIZE;
  readBack->present = true;
  readBack->text.assign(arguments[at].buffer, ::strnlen(arguments[at].buffer, bound));
}

// The same call with its journal events around it.
int32_t DispatchRecorded(journal::StationJournal &journal, const StationContext &station,
                         const ExportRow &row, const ExportArgument *arguments) {
  journal::ExportReadBack readBack;
  journal.BeforeCall(row, arguments);
  const int64_t start = journal::StationJournal::MonoNs();
  const int32_t result = Dispatch(station, row, arguments, &readBack);
  const int64_t end = journal::StationJournal::MonoNs();
  if (result == 0 && row.shape == ExportShape::kManager && !readBack.present)
    ManagerReadBack(row, arguments, &readBack);
  journal.AfterCall(row, arguments, result, start, end, readBack);
  return result;
}

} // namespace

int32_t ForwardExport(const ExportRow &row, const ExportArgument *arguments) {
  StationContext station;
  if (!FindStation(&station)) return 1;
  journal::StationJournal *journal = station.testTools ? station.testTools->Journal() : nullptr;
  if (journal) return DispatchRecorded(*journal, station, row, arguments);
  return Dispatch(station, row, arguments, nullptr);
}

int StageParameter(const char *section, const char *key, const char *text) {
  StationContext station;
  if (!section || !key || !text || !FindStation(&station) || !station.testTools) return 0;
  CStagingNameCache &cache = station.testTools->StagingNames();
  cache.BeginCall();
  const std::string &name = cache.Name(section, key);
  if (name.empty()) return 0;
  station.testTools->GetParameterDataSet()->SetString(name, text);
  return 1;
}

int UnstageParameter(const char *section, const char *key) {
  StationContext station;
  if (!section || !key || !FindStation(&station) || !station.testTools) return 0;
  CStagingNameCache &cache = station.testTools->StagingNames();
  cache.BeginCall();
  const std::string &name = cache.Name(section, key);
  if (name.empty()) return 0;
  std::string erase = "erase";
  station.testTools->GetParameterDataSet()->GetString(name, erase);
  return 1;
}

} // namespace qrx
