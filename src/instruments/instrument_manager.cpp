// Connecting a station to its tester: address from "BASEINFO", identification, the
// instrument library of the tester's type, and the calls forwarded to its instrument.
#include "instruments/instrument_manager.h"

#include "platform/operator_ui.h"
#include "plugins/plugin_object.h"

#include <qrx/instrument_library.h>
#include <qrx/test_tools.h>

#include <climits>
#include <cstdlib>
#include <memory>

namespace qrx {
namespace {

const char kNSigLibrary[] = ".\\TestDll\\QRXNSigInstrument.dll";
const char kPxiLibrary[] = ".\\TestDll\\QRXTESTSETPXI3000.dll";
// "加载仪表动态库失败!"
const char kLibraryLoadFailed[] =
    "\xBC\xD3\xD4\xD8\xD2\xC7\xB1\xED\xB6\xAF\xCC\xAC\xBF\xE2\xCA\xA7\xB0\xDC!";
// "加载导出函数GetQRXCalInstrInterface失败!"
const char kEntryMissing[] =
    "\xBC\xD3\xD4\xD8\xB5\xBC\xB3\xF6\xBA\xAF\xCA\xFDGetQRXCalInstrInterface\xCA\xA7\xB0\xDC!";

// Searched in this order; the first text found in the upper-cased model decides.
struct ModelMarker {
  const char *text;
  int32_t typeCode;
};
constexpr ModelMarker kModelMarkers[] = {
    {"CMU 200", QRX_INSTR_CMU200}, {"E5515C", QRX_INSTR_E5515C},   {"6601A", QRX_INSTR_6601A},
    {"8820B", QRX_INSTR_8820B},    {"8820C", QRX_INSTR_8820C},     {"4400", QRX_INSTR_4400},
    {"CMW", QRX_INSTR_CMW},        {"PXI3000", QRX_INSTR_PXI3000}, {"SP6010", QRX_INSTR_SP6010},
    {"TD-LTE", QRX_INSTR_TDLTE},   {"SP8010B", QRX_INSTR_TDLTE},
};

// Leading decimal digits as atoi reads them (blanks and a sign first), empty text 0, and
// values beyond the int range held at its ends instead of overflowing.
int DecimalValue(const std::string &text) {
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

struct SettingFileRelease {
  void operator()(ISettingFile *file) const { file->Release(); }
};

} // namespace

int32_t CInstrumentManager::TypeCodeForModel(const std::string &model) {
  std::string upper = model;
  for (char &c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const ModelMarker &marker : kModelMarkers)
    if (upper.find(marker.text) != std::string::npos) return marker.typeCode;
  return QRX_INSTR_UNKNOWN;
}

int32_t CInstrumentManager::Load() {
  if (!hub) return 1;
  IDataSet *parameters = hub->GetParameterDataSet();
  std::string configFile;
  if (parameters) parameters->GetString("ConfigFile", configFile);

  ISettingService *settings = hub->GetSettingService();
  // A station without a configuration file name has no address to read: both become 0.
  std::unique_ptr<ISettingFile, SettingFileRelease> file(
      settings && !configFile.empty() ? settings->OpenSettingFile(configFile, "BusinessCfg")
                                      : nullptr);

  int stationIndex = -1;
  if (parameters) parameters->GetInt("ThreadIndex", &stationIndex);
  const std::string suffix = std::to_string(static_cast<long long>(stationIndex) + 1);
  const int gpibBoard = file ? DecimalValue(file->GetValue("BASEINFO", "nGPIBAddress" + suffix)) : 0;
  const int primaryAddress =
      file ? DecimalValue(file->GetValue("BASEINFO", "nDeviceAddress" + suffix)) : 0;

  int transferType = kDefaultTransferType;
  if (parameters) parameters->GetInt("TransferType", &transferType);

  IInstrumentDetectService *detect = hub->GetInstrumentDetectService();
  if (!detect) return 1;

  int32_t typeCode = QRX_INSTR_CMW;
  if (transferType == 0) {
    InstrumentAddress address{gpibBoard, primaryAddress, std::string(), std::string(), false,
                              false};
    const int status = detect->IdentifyInstrument(&address);
    if (status != 0) return status;
    typeCode = TypeCodeForModel(address.model);
  }
  typeCode_ = typeCode;

  // A Load over an earlier one gives back what the earlier one took, so neither the
  // instrument nor a reference on its library is lost when the handles are replaced.
  if (instrument_) Unload();
  if (library_ && !instrument_) {
    platform::FreeLibrary(library_);
    library_ = nullptr;
  }

  library_ = platform::LoadLibrary(typeCode == QRX_INSTR_PXI3000 ? kPxiLibrary : kNSigLibrary);
  if (!library_) {
    platform::ShowMessageBox(nullptr, kLibraryLoadFailed);
    return 1;
  }
  auto create = reinterpret_cast<QRXGetInstrumentInterfaceFn>(
      platform::GetProcAddress(library_, "GetQRXCalInstrInterface"));
  if (!create) {
    platform::ShowMessageBox(nullptr, kEntryMissing);
    return 1;
  }
  instrument_ = create(typeCode);
  return 0;
}

int32_t CInstrumentManager::Unload() {
  int32_t result = 1;
  if (instrument_) result = PluginObject(instrument_).call<int32_t>(instrument::kUnloadStatus);
  if (library_ && instrument_) {
    auto release = reinterpret_cast<QRXReleaseInstrumentFn>(
        platform::GetProcAddress(library_, "ReleaseInstrument"));
    if (release) release(instrument_);
    if (platform::FreeLibrary(library_)) result = 0;
    library_ = nullptr;
    instrument_ = nullptr;
  }
  return result;
}

int32_t CInstrumentManager::InstrumentCall1(int32_t a, int32_t b, int32_t c) {
  if (!instrument_) return 1;
  return PluginObject(instrument_).call<int32_t>(instrument::kCall1, a, b, c);
}

int32_t CInstrumentManager::InstrumentCall2(int32_t a, int32_t b, int32_t c) {
  if (!instrument_) return 1;
  return PluginObject(instrument_).call<int32_t>(instrument::kCall2, a, b, c);
}

int32_t CInstrumentManager::InstrumentCall3(int32_t a, int32_t b) {
  if (!instrument_) return 1;
  return PluginObject(instrument_).call<int32_t>(instrument::kCall3, a, b);
}

} // namespace qrx
