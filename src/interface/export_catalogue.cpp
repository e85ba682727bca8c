// Names of the catalogue's enumerations, and the checks that keep the table consistent: every
// row is verified when this file compiles, so a wrong row never reaches a station.
#include "interface/export_catalogue.h"

namespace qrx {
namespace {

constexpr bool IsArgumentType(char c) {
  return c == argument_type::kInt || c == argument_type::kDouble || c == argument_type::kText ||
         c == argument_type::kTextBuffer || c == argument_type::kDoubleOut ||
         c == argument_type::kCallback || c == argument_type::kObserver;
}

// The text form a staged argument of type `type` takes.
constexpr char FormatOf(char type) {
  return type == argument_type::kInt      ? 'd'
         : type == argument_type::kDouble ? 'f'
         : type == argument_type::kText   ? 's'
                                          : '?';
}

constexpr bool NamesAreUnique() {
  for (size_t i = 0; i < kExportCount; ++i)
    for (size_t j = i + 1; j < kExportCount; ++j)
      if (kExportCatalogue[i].name == kExportCatalogue[j].name) return false;
  return true;
}

constexpr bool RowIsConsistent(const ExportRow &row) {
  for (char c : row.arguments)
    if (!IsArgumentType(c)) return false;
  const bool callsLibrary = row.shape != ExportShape::kLifecycle &&
                            row.shape != ExportShape::kObserver &&
                            row.shape != ExportShape::kManager;
  if (callsLibrary == row.libraryFunction.empty()) return false;
  if ((row.shape == ExportShape::kManager) == (row.operation == ManagerOperation::kNone))
    return false;
  if (row.staged.empty() != (row.order == StagingOrder::kNone)) return false;
  const bool stages = row.shape == ExportShape::kStaged ||
                      row.shape == ExportShape::kReadBarcode ||
                      row.shape == ExportShape::kOptionalOffset;
  if (stages == row.staged.empty()) return false;
  for (size_t i = 0; i < row.staged.size(); ++i) {
    const StagedEntry &entry = row.staged[i];
    if (entry.section.empty() || entry.key.empty()) return false;
    if (entry.argument == 0) {
      // Only the optional offset stages a constant, the double 0.0.
      if (row.shape != ExportShape::kOptionalOffset || entry.format != 'f') return false;
      continue;
    }
    if (entry.argument > row.arguments.size()) return false;
    if (FormatOf(row.arguments[entry.argument - 1]) != entry.format) return false;
    for (size_t j = i + 1; j < row.staged.size(); ++j) {
      if (row.staged[j].argument == entry.argument) return false;
      if (row.staged[j].section == entry.section && row.staged[j].key == entry.key) return false;
    }
  }
  // A staged export stages each of its value arguments exactly once.
  if (row.shape == ExportShape::kStaged) {
    size_t values = 0;
    for (char c : row.arguments) values += FormatOf(c) != '?';
    if (values != row.staged.size()) return false;
  }
  return true;
}

constexpr bool AllRowsAreConsistent() {
  for (const ExportRow &row : kExportCatalogue)
    if (!RowIsConsistent(row)) return false;
  return true;
}

static_assert(kExportCount == 252, "the library has 252 exports");
static_assert(NamesAreUnique(), "an export name appears twice");
static_assert(AllRowsAreConsistent(), "a catalogue row contradicts itself");

} // namespace

std::string_view ServiceName(ExportService service) {
  switch (service) {
  case ExportService::kNone:
    return "none";
  case ExportService::kCal:
    return "cal";
  case ExportService::kGsmFt:
    return "gsm";
  case ExportService::kTdFt:
    return "td";
  case ExportService::kLteFt:
    return "lte";
  case ExportService::kWifi:
    return "wifi";
  case ExportService::kSnManager:
    return "sn";
  case ExportService::kDownloadManager:
    return "download";
  case ExportService::kTestTools:
    return "hub";
  }
  return "?";
}

std::string_view ShapeName(ExportShape shape) {
  switch (shape) {
  case ExportShape::kLifecycle:
    return "lifecycle";
  case ExportShape::kObserver:
    return "observer";
  case ExportShape::kPlain:
    return "plain";
  case ExportShape::kStaged:
    return "staged";
  case ExportShape::kSerialCheckA:
    return "serial-check-a";
  case ExportShape::kSerialCheckB:
    return "serial-check-b";
  case ExportShape::kReadBarcode:
    return "read-barcode";
  case ExportShape::kReadPower:
    return "read-power";
  case ExportShape::kOptionalOffset:
    return "optional-offset";
  case ExportShape::kManager:
    return "manager";
  }
  return "?";
}

std::string_view ManagerOperationName(ManagerOperation operation) {
  switch (operation) {
  case ManagerOperation::kNone:
    return "";
  case ManagerOperation::kTDDLTE_TxInit_CabLoss:
    return "TDDLTE_TxInit_CabLoss";
  case ManagerOperation::kTDDLTE_TxClose_CabLoss:
    return "TDDLTE_TxClose_CabLoss";
  case ManagerOperation::kFDDLTE_TxInit_CabLoss:
    return "FDDLTE_TxInit_CabLoss";
  case ManagerOperation::kFDDLTE_TxClose_CabLoss:
    return "FDDLTE_TxClose_CabLoss";
  case ManagerOperation::kInit_TestDLL_SN:
    return "Init_TestDLL_SN";
  case ManagerOperation::kOpenPort:
    return "OpenPort";
  case ManagerOperation::kClosePort:
    return "ClosePort";
  case ManagerOperation::kWriteSN:
    return "WriteSN";
  case ManagerOperation::kReadSN:
    return "ReadSN";
  case ManagerOperation::kWriteMSN:
    return "WriteMSN";
  case ManagerOperation::kReadMSN:
    return "ReadMSN";
  case ManagerOperation::kWriteIMEI:
    return "WriteIMEI";
  case ManagerOperation::kReadIMEI:
    return "ReadIMEI";
  case ManagerOperation::kWritePSN16Bit:
    return "WritePSN16Bit";
  case ManagerOperation::kReadPSN16Bit:
    return "ReadPSN16Bit";
  case ManagerOperation::kReadIntSoftVersion:
    return "ReadIntSoftVersion";
  case ManagerOperation::kReadTestInfo:
    return "ReadTestInfo";
  case ManagerOperation::kReadTestInfo_AT:
    return "ReadTestInfo_AT";
  case ManagerOperation::kWriteTestFlag:
    return "WriteTestFlag";
  case ManagerOperation::kWriteMAC:
    return "WriteMAC";
  case ManagerOperation::kReadMAC:
    return "ReadMAC";
  case ManagerOperation::kWriteSSID:
    return "WriteSSID";
  case ManagerOperation::kReadSSID:
    return "ReadSSID";
  case ManagerOperation::kReadTestInfo_UFI:
    return "ReadTestInfo_UFI";
  case ManagerOperation::kReadIntSoftVersion_UFI:
    return "ReadIntSoftVersion_UFI";
  case ManagerOperation::kPrepareDownload:
    return "PrepareDownload";
  case ManagerOperation::kStartDownload:
    return "StartDownload";
  case ManagerOperation::kStopDownload:
    return "StopDownload";
  }
  return "?";
}

std::string_view UnitRoleName(UnitRole role) {
  switch (role) {
  case UnitRole::kStep:
    return "step";
  case UnitRole::kBegins:
    return "begins";
  case UnitRole::kNames:
    return "names";
  case UnitRole::kOutside:
    return "outside";
  }
  return "?";
}

} // namespace qrx
