// The catalogue of the library's exports: one row per exported function, saying what it takes,
// where it goes and what it stages. The exported shims, the host tools and the tests all read
// this table; nothing else restates it. Plain constexpr data with no dependency on the rest of
// the library, so a tool can include it on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qrx {

// How an export reaches its target.
enum class ExportShape : uint8_t {
  kLifecycle,      // InitQRXInterface, CleanUpQRXInterface: the station registry itself
  kObserver,       // adds or removes a log observer through the hub
  kPlain,          // calls one test-library function, stages nothing
  kStaged,         // stages its arguments, calls one function, unstages them
  kSerialCheckA,   // serial-number read-back; the placeholder "FFFFFFFFFFFF" answers 1
  kSerialCheckB,   // serial-number read-back; the placeholder "FFFFFFFFFFFF" answers 0
  kReadBarcode,    // stages a length, reads the result's "Sn" text back into a buffer
  kReadPower,      // reads the result's "Power" entry back into a double
  kOptionalOffset, // stages the offset 0.0 only when its flag is 1, always unstages it
  kManager,        // calls one serial-number manager or download manager operation
};

// The station field an export uses.
enum class ExportService : uint8_t {
  kNone,
  kCal,             // calibration test library
  kGsmFt,           // GSM final-test library
  kTdFt,            // TD final-test library
  kLteFt,           // LTE final-test library
  kWifi,            // WiFi test library (UFI stations only)
  kSnManager,       // serial-number manager
  kDownloadManager, // image download manager
  kTestTools,       // the hub
};

// Whether the service is checked before or after the arguments are staged. The order is
// observable: with a missing service, staging-first leaves its entries behind.
enum class StagingOrder : uint8_t { kNone, kStagingFirst, kServiceFirst };

// The manager operation behind each kManager row, in catalogue order.
enum class ManagerOperation : uint8_t {
  kNone,
  kTDDLTE_TxInit_CabLoss,
  kTDDLTE_TxClose_CabLoss,
  kFDDLTE_TxInit_CabLoss,
  kFDDLTE_TxClose_CabLoss,
  kInit_TestDLL_SN,
  kOpenPort,
  kClosePort,
  kWriteSN,
  kReadSN,
  kWriteMSN,
  kReadMSN,
  kWriteIMEI,
  kReadIMEI,
  kWritePSN16Bit,
  kReadPSN16Bit,
  kReadIntSoftVersion,
  kReadTestInfo,
  kReadTestInfo_AT,
  kWriteTestFlag,
  kWriteMAC,
  kReadMAC,
  kWriteSSID,
  kReadSSID,
  kReadTestInfo_UFI,
  kReadIntSoftVersion_UFI,
  kPrepareDownload,
  kStartDownload,
  kStopDownload
};

// What a call of the export says about the unit (the device) under test, for the station
// journal, which decides unit boundaries from this column alone.
enum class UnitRole : uint8_t {
  kStep,    // a step of the open unit; the first call after a unit ended begins the next one
  kBegins,  // the first export of a test sequence: called again within the open unit, it
            // ends that unit and begins the next
  kNames,   // reads the unit's serial number or barcode (the text it hands back): another
            // serial than the open unit's ends that unit and begins the next
  kOutside, // host housekeeping that belongs to no unit and never begins one
};

// Argument type letters of ExportRow::arguments.
namespace argument_type {
inline constexpr char kInt = 'i';        // int32_t
inline constexpr char kDouble = 'd';     // double
inline constexpr char kText = 's';       // const char *, zero-terminated
inline constexpr char kTextBuffer = 'b'; // char *, a caller's buffer the export fills
inline constexpr char kDoubleOut = 'p';  // double *, filled by the export
inline constexpr char kCallback = 'c';   // QRXDownloadCallback
inline constexpr char kObserver = 'o';   // ILogObserver *
} // namespace argument_type

// One staged argument: the section and key whose staging name "Common.xml" gives, the
// argument's position (1-based; 0 for the constant 0.0 of kOptionalOffset) and its text form:
// 'd' "%d", 'f' "%f", 's' the text unchanged.
struct StagedEntry {
  std::string_view section;
  std::string_view key;
  uint8_t argument;
  char format;
};

struct ExportRow {
  std::string_view name;
  std::string_view arguments; // one argument_type letter per argument, in order
  ExportShape shape;
  ExportService service;
  std::string_view libraryFunction; // empty unless a test-library function is called
  StagingOrder order;
  std::span<const StagedEntry> staged; // in staging (and unstaging) order
  ManagerOperation operation;
  UnitRole unit = UnitRole::kStep;
};

namespace catalogue_detail {
inline constexpr StagedEntry kCheck_TestInfoStaging[] = {
    {"Cal", "FTFlag", 1, 'd'}};
inline constexpr StagedEntry kClear_TestInfoStaging[] = {
    {"Cal", "nClearType", 1, 'd'}};
inline constexpr StagedEntry kWrite_TestInfo_TDStaging[] = {
    {"Cal", "FTFlag", 1, 'd'}};
inline constexpr StagedEntry kGSM_AFC_CalStaging[] = {
    {"QCal", "BandNumber", 1, 'd'}};
inline constexpr StagedEntry kWrite_TestInfo_GSMStaging[] = {
    {"QCal", "FTFlag", 1, 'd'}};
inline constexpr StagedEntry kGSM_NST_MeasEDGEPowerStaging[] = {
    {"QCal", "Band", 1, 'd'},
    {"QCal", "Channel", 2, 'd'},
    {"QCal", "PALevel", 3, 'd'}};
inline constexpr StagedEntry kGSM_NST_MeasPowerStaging[] = {
    {"QCal", "Band", 1, 'd'},
    {"QCal", "Channel", 2, 'd'},
    {"QCal", "PALevel", 3, 'd'}};
inline constexpr StagedEntry kGSM_NST_MeasAllStaging[] = {
    {"QCal", "Band", 1, 'd'},
    {"QCal", "Channel", 2, 'd'},
    {"QCal", "PALevel", 3, 'd'},
    {"QCal", "FreqErr", 4, 'd'}};
inline constexpr StagedEntry kGSM_NST_MeasPowerSensitivityStaging[] = {
    {"QCal", "Band", 1, 'd'},
    {"QCal", "Channel", 2, 'd'},
    {"QCal", "PALevel", 3, 'd'},
    {"QCal", "FreqErr", 4, 'd'}};
inline constexpr StagedEntry kTD_NST_ConnectStaging[] = {
    {"Cal", "Channel", 1, 'd'}};
inline constexpr StagedEntry kTD_NST_SetChannelStaging[] = {
    {"Cal", "Channel", 1, 'd'}};
inline constexpr StagedEntry kFDDLTE_AFC_CalStaging[] = {
    {"Cal", "TxPowerOffset", 0, 'f'}};
inline constexpr StagedEntry kLTE_SetULFreq_CabLossStaging[] = {
    {"CabLoss", "Freq", 1, 'f'}};
inline constexpr StagedEntry kLTE_SetULExpPower_CabLossStaging[] = {
    {"CabLoss", "Power", 1, 'f'}};
inline constexpr StagedEntry kInitDevice_GSMFTStaging[] = {
    {"GSMFT", "SensitivityNumber", 1, 'f'},
    {"GSMFT", "DisplayOn", 2, 'd'}};
inline constexpr StagedEntry kEdgeDeviceConnectConfigBand_GSMFTStaging[] = {
    {"GSMFT", "BandNumber", 1, 'd'}};
inline constexpr StagedEntry kCheckTestInfo_GSMFTStaging[] = {
    {"GSMFT", "TestStationNum", 1, 'd'}};
inline constexpr StagedEntry kSwitchMobileMode_GSMFTStaging[] = {
    {"GSMFT", "nModeValue", 1, 'd'}};
inline constexpr StagedEntry kGetBandChannelLevInfo_GSMFTStaging[] = {
    {"GSMFT", "BandNumber", 1, 'd'},
    {"GSMFT", "LevelNumber", 2, 'd'},
    {"GSMFT", "ChannelNumber", 3, 'd'}};
inline constexpr StagedEntry kEdgeDeviceConnectMsBand_GSMFTStaging[] = {
    {"GSMFT", "BandNumber", 1, 'd'}};
inline constexpr StagedEntry kEdgeMeasTMABand_GSMFTStaging[] = {
    {"GSMFT", "BandNumber", 1, 'd'}};
inline constexpr StagedEntry kEdgeHandoverBand_GSMFTStaging[] = {
    {"GSMFT", "SourceBandNumber", 1, 'd'},
    {"GSMFT", "DesBandNumber", 2, 'd'}};
inline constexpr StagedEntry kEdgeEndConnectionBand_GSMFTStaging[] = {
    {"GSMFT", "BandNumber", 1, 'd'}};
inline constexpr StagedEntry kGsmDeviceConnectConfigBand_GSMFTStaging[] = {
    {"GSMFT", "BandNumber", 1, 'd'}};
inline constexpr StagedEntry kCallToDeviceBand_GSMFTStaging[] = {
    {"GSMFT", "BandNumber", 1, 'd'},
    {"GSMFT", "WaitTimeBeforeDial", 2, 'd'},
    {"GSMFT", "RepeatDialTimes", 3, 'd'},
    {"GSMFT", "nQuerySignalTimes", 4, 'd'},
    {"GSMFT", "nWaitTimeBeforeQuerySignalStat", 5, 'd'}};
inline constexpr StagedEntry kGsmHandoverBand_GSMFTStaging[] = {
    {"GSMFT", "SourceBandNumber", 1, 'd'},
    {"GSMFT", "DesBandNumber", 2, 'd'}};
inline constexpr StagedEntry kInitDevice_TDFTStaging[] = {
    {"TDFT", "SensitivityNumber", 1, 'f'},
    {"TDFT", "DisplayOn", 2, 'd'}};
inline constexpr StagedEntry kMode_Select_TDFTStaging[] = {
    {"TDFT", "mode", 1, 's'}};
inline constexpr StagedEntry kBs_Config_TDFTStaging[] = {
    {"TDFT", "CellPower", 1, 'f'},
    {"TDFT", "ChannelNumber", 2, 'd'}};
inline constexpr StagedEntry kSwitchMobileMode_TDFTStaging[] = {
    {"TDFT", "nModeValue", 1, 'd'}};
inline constexpr StagedEntry kEstablishLink_TDFTStaging[] = {
    {"TDFT", "BandNumber", 1, 'd'},
    {"TDFT", "nQuerySignalTimes", 2, 'd'},
    {"TDFT", "WaitTimeBeforeDial", 3, 'd'},
    {"TDFT", "RepeatDialTimes", 4, 'd'},
    {"TDFT", "nWaitTimeBeforeQuerySignalStat", 5, 'd'}};
inline constexpr StagedEntry kGetChannelInfo_TDFTStaging[] = {
    {"TDFT", "ChannelNumber", 1, 'd'},
    {"TDFT", "ULPower", 2, 'd'}};
inline constexpr StagedEntry kTxMaxPwr_TDFTStaging[] = {
    {"TDFT", "nMaxPowerUpper", 1, 'd'},
    {"TDFT", "nMaxPowerLower", 2, 'd'},
    {"TDFT", "nStep", 3, 'd'}};
inline constexpr StagedEntry kTxMinPwr_TDFTStaging[] = {
    {"TDFT", "nMinPowerUpper", 1, 'd'}};
inline constexpr StagedEntry kTxOBW_TDFTStaging[] = {
    {"TDFT", "dbOBWUpper", 1, 'f'},
    {"TDFT", "dbOBWLower", 2, 'f'}};
inline constexpr StagedEntry kTxFreqStability_TDFTStaging[] = {
    {"TDFT", "nFreqErrorUpper", 1, 'd'},
    {"TDFT", "nFreqErrorLower", 2, 'd'}};
inline constexpr StagedEntry kTxOffPwr_TDFTStaging[] = {
    {"TDFT", "dbOffPwrUpper", 1, 'd'}};
inline constexpr StagedEntry kTxEVM_TDFTStaging[] = {
    {"TDFT", "dbEVMUpper", 1, 'f'}};
inline constexpr StagedEntry kTxPCDE_TDFTStaging[] = {
    {"TDFT", "dbPCDEUpper", 1, 'd'}};
inline constexpr StagedEntry kRxSens_TDFTStaging[] = {
    {"TDFT", "dbRxSen", 1, 'f'}};
inline constexpr StagedEntry kRxRSCP_TDFTStaging[] = {
    {"TDFT", "nBasePower", 1, 'd'},
    {"TDFT", "nRSCPPowerUpper", 2, 'd'},
    {"TDFT", "nRSCPPowerLower", 3, 'd'}};
inline constexpr StagedEntry kRxMaxIn_TDFTStaging[] = {
    {"TDFT", "dbRxMaxIn", 1, 'f'}};
inline constexpr StagedEntry kInit_TestInterface_LTEFTStaging[] = {
    {"LTEFT", "TestMode", 1, 'd'}};
inline constexpr StagedEntry kSwitchMobileMode_LTEFTStaging[] = {
    {"LTEFT", "nModeValue", 1, 'd'}};
inline constexpr StagedEntry kRegisterCard_LTECPStaging[] = {
    {"LTEFT", "RecallTimes", 1, 'd'},
    {"LTEFT", "RecallWait", 2, 'd'}};
inline constexpr StagedEntry kRegisterCard_LTEFTStaging[] = {
    {"LTEFT", "SearchPriority", 1, 'd'},
    {"LTEFT", "RecallTimes", 2, 'd'},
    {"LTEFT", "RecallWait", 3, 'd'}};
inline constexpr StagedEntry kLteGet_ChannelNum_LTEFTStaging[] = {
    {"LTEFT", "Band", 1, 'd'},
    {"LTEFT", "UpLinkChannel", 2, 'd'}};
inline constexpr StagedEntry kLteBand_HandOver_LTEFTStaging[] = {
    {"LTEFT", "Band", 1, 'd'},
    {"LTEFT", "UpLinkChannel", 2, 'd'}};
inline constexpr StagedEntry kLteTest_MinPwr_LTEFTStaging[] = {
    {"LTEFT", "LimitMinPwrUpper", 1, 'f'}};
inline constexpr StagedEntry kLteTest_Sensitivity_LTEFTStaging[] = {
    {"LTEFT", "IsMaxInput", 1, 'd'},
    {"LTEFT", "BSMaxInput", 3, 'f'},
    {"LTEFT", "BerLimit", 2, 'f'},
    {"LTEFT", "BSRefPower", 4, 'f'},
    {"LTEFT", "MSPower", 5, 'f'}};
inline constexpr StagedEntry kLteTest_RSRP_LTEFTStaging[] = {
    {"LTEFT", "RSRP_Levels", 1, 's'},
    {"LTEFT", "RSRP_Threshold", 2, 's'}};
inline constexpr StagedEntry kBs_Config_LTEFTStaging[] = {
    {"LTEFT", "ISTDD", 12, 'd'},
    {"LTEFT", "DlChanMin", 13, 'd'},
    {"LTEFT", "DlChanMax", 14, 'd'},
    {"LTEFT", "DFrleMin", 15, 'd'},
    {"LTEFT", "UDSeparation", 16, 'd'},
    {"LTEFT", "FddUpChanMin", 17, 'd'},
    {"LTEFT", "Band", 1, 'd'},
    {"LTEFT", "Channel", 2, 'd'},
    {"LTEFT", "MSPower", 3, 'f'},
    {"LTEFT", "BSPower", 4, 'f'},
    {"LTEFT", "Secu", 5, 'd'},
    {"LTEFT", "InstrMode", 6, 'd'},
    {"LTEFT", "KI", 7, 's'},
    {"LTEFT", "UsimNumber", 8, 's'},
    {"LTEFT", "BandWidth", 9, 'd'},
    {"LTEFT", "InStrFlag", 10, 'd'},
    {"LTEFT", "IsNormalFre", 11, 'd'}};
inline constexpr StagedEntry kLteTest_MaxPwrAll_LTEFTStaging[] = {
    {"LTEFT", "MaxPwrLmtUpp", 1, 'f'},
    {"LTEFT", "MaxPwrLmtLow", 2, 'f'},
    {"LTEFT", "FreqErrorLimit", 3, 'd'},
    {"LTEFT", "OBWLimit", 4, 'd'},
    {"LTEFT", "LteModulation", 5, 'd'},
    {"LTEFT", "SkipMaxPwr", 7, 'd'},
    {"LTEFT", "SkipEvm", 8, 'd'},
    {"LTEFT", "SkipPcde", 9, 'd'},
    {"LTEFT", "SkipFer", 10, 'd'},
    {"LTEFT", "SkipAclr", 11, 'd'},
    {"LTEFT", "SkipSem", 12, 'd'},
    {"LTEFT", "SkipObw", 13, 'd'},
    {"LTEFT", "EVMLimitQPSK", 14, 'f'},
    {"LTEFT", "EVMLimit16QAM", 15, 'f'},
    {"LTEFT", "ACLRLimitEUTRA", 16, 'f'},
    {"LTEFT", "ACLRLimitUTRA1", 17, 'f'},
    {"LTEFT", "ACLRLimitUTRA2", 18, 'f'},
    {"LTEFT", "TestRBsList", 6, 's'}};
inline constexpr StagedEntry kInit_Instrument_UfiStaging[] = {
    {"WifiCal", "CHIPTYPE", 1, 'd'}};
inline constexpr StagedEntry kWiFi_Config_RFPortNum_UfiStaging[] = {
    {"WifiCal", "RFPORTNUM", 1, 'd'}};
inline constexpr StagedEntry kWiFi_Config_Mode_UfiStaging[] = {
    {"WifiCal", "MODE", 1, 'd'}};
inline constexpr StagedEntry kWiFi_Config_MCS_UfiStaging[] = {
    {"WifiCal", "MCS", 1, 'd'}};
inline constexpr StagedEntry kWiFi_Config_Channel_UfiStaging[] = {
    {"WifiCal", "CHANNEL", 1, 'd'}};
inline constexpr StagedEntry kWiFi_VSAConfig_UfiStaging[] = {
    {"WifiCal", "SWITCH", 1, 'd'},
    {"WifiCal", "BANDWIDTH", 2, 'd'}};
inline constexpr StagedEntry kWiFi_VSGSensitivityConfig_UfiStaging[] = {
    {"WifiCal", "RXSWITCH", 1, 'd'},
    {"WifiCal", "RXBANDWIDTH", 2, 'd'}};
inline constexpr StagedEntry kReadBarcode_UfiStaging[] = {
    {"WifiCal", "BOARDNUMLENTH", 2, 'd'}};
} // namespace catalogue_detail

inline constexpr ExportRow kExportCatalogue[] = {
    {"InitQRXInterface", "iss", ExportShape::kLifecycle, ExportService::kNone, "", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"CleanUpQRXInterface", "", ExportShape::kLifecycle, ExportService::kNone, "", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"RegisterObserver", "o", ExportShape::kObserver, ExportService::kTestTools, "", StagingOrder::kNone, {}, ManagerOperation::kNone, UnitRole::kOutside},
    {"UnRegisterObserver", "o", ExportShape::kObserver, ExportService::kTestTools, "", StagingOrder::kNone, {}, ManagerOperation::kNone, UnitRole::kOutside},
    {"Init_TestInterface", "", ExportShape::kPlain, ExportService::kCal, "Init_TestInterface", StagingOrder::kNone, {}, ManagerOperation::kNone, UnitRole::kBegins},
    {"UnInit_TestInterface", "", ExportShape::kPlain, ExportService::kCal, "UnInit_TestInterface", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Init_TestDll", "", ExportShape::kPlain, ExportService::kCal, "Init_TestDll", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInit_TestDll", "", ExportShape::kPlain, ExportService::kCal, "UnInit_TestDll", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Init_DownloadComPort", "", ExportShape::kPlain, ExportService::kCal, "Init_DownloadComPort", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInit_DownloadComPort", "", ExportShape::kPlain, ExportService::kCal, "UnInit_DownloadComPort", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Init_TestComPort", "", ExportShape::kPlain, ExportService::kCal, "Init_TestComPort", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInit_TestComPort", "", ExportShape::kPlain, ExportService::kCal, "UnInit_TestComPort", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Init_TestInstrument", "", ExportShape::kPlain, ExportService::kCal, "Init_TestInstrument", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInit_TestInstrument", "", ExportShape::kPlain, ExportService::kCal, "UnInit_TestInstrument", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Download", "", ExportShape::kPlain, ExportService::kCal, "Download", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"EDGE_TxCal_900", "", ExportShape::kPlain, ExportService::kCal, "EDGE_TxCal_900", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"EDGE_TxCal_1800", "", ExportShape::kPlain, ExportService::kCal, "EDGE_TxCal_1800", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Write_CalData_EDGE", "", ExportShape::kPlain, ExportService::kCal, "Write_CalData_EDGE", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_TxCal_900", "", ExportShape::kPlain, ExportService::kCal, "GSM_TxCal_900", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_TFC_900", "", ExportShape::kPlain, ExportService::kCal, "GSM_TFC_900", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_TxCal_1800", "", ExportShape::kPlain, ExportService::kCal, "GSM_TxCal_1800", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_TFC_1800", "", ExportShape::kPlain, ExportService::kCal, "GSM_TFC_1800", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_RxCal_900", "", ExportShape::kPlain, ExportService::kCal, "GSM_RxCal_900", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_RxCal_1800", "", ExportShape::kPlain, ExportService::kCal, "GSM_RxCal_1800", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Write_CalData_GSM", "", ExportShape::kPlain, ExportService::kCal, "Write_CalData_GSM", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Enter_TDTestMode", "", ExportShape::kPlain, ExportService::kCal, "Enter_TDTestMode", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Exit_TDTestMode", "", ExportShape::kPlain, ExportService::kCal, "Exit_TDTestMode", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_AFC_Cal", "", ExportShape::kPlain, ExportService::kCal, "TD_AFC_Cal", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_APC_Cal_A", "", ExportShape::kPlain, ExportService::kCal, "TD_APC_Cal_A", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_APC_Cal_B", "", ExportShape::kPlain, ExportService::kCal, "TD_APC_Cal_B", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_APC_Cal_C", "", ExportShape::kPlain, ExportService::kCal, "TD_APC_Cal_C", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_AGC_Cal_A", "", ExportShape::kPlain, ExportService::kCal, "TD_AGC_Cal_A", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_AGC_Cal_B", "", ExportShape::kPlain, ExportService::kCal, "TD_AGC_Cal_B", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_AGC_Cal_C", "", ExportShape::kPlain, ExportService::kCal, "TD_AGC_Cal_C", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_RFC_A", "", ExportShape::kPlain, ExportService::kCal, "TD_RFC_A", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_RFC_B", "", ExportShape::kPlain, ExportService::kCal, "TD_RFC_B", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_RFC_C", "", ExportShape::kPlain, ExportService::kCal, "TD_RFC_C", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_TFC_A", "", ExportShape::kPlain, ExportService::kCal, "TD_TFC_A", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_TFC_B", "", ExportShape::kPlain, ExportService::kCal, "TD_TFC_B", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_TFC_C", "", ExportShape::kPlain, ExportService::kCal, "TD_TFC_C", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Write_CalData_TD", "", ExportShape::kPlain, ExportService::kCal, "Write_CalData_TD", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Enter_GSMTestMode", "", ExportShape::kPlain, ExportService::kCal, "Enter_GSMTestMode", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_EDGE_FDT", "", ExportShape::kPlain, ExportService::kCal, "GSM_EDGE_FDT", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_WriteFDTEDGETxTable", "", ExportShape::kPlain, ExportService::kCal, "GSM_WriteFDTEDGETxTable", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_FDT", "", ExportShape::kPlain, ExportService::kCal, "GSM_FDT", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_WriteFDTTxTable", "", ExportShape::kPlain, ExportService::kCal, "GSM_WriteFDTTxTable", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_WriteFDTRxTable", "", ExportShape::kPlain, ExportService::kCal, "GSM_WriteFDTRxTable", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_UpDateRam", "", ExportShape::kPlain, ExportService::kCal, "GSM_UpDateRam", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_NST_EDGEConnect", "", ExportShape::kPlain, ExportService::kCal, "GSM_NST_EDGEConnect", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"GSM_NST_GMSKConnect", "", ExportShape::kPlain, ExportService::kCal, "GSM_NST_GMSKConnect", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Exit_GSMMode", "", ExportShape::kPlain, ExportService::kCal, "Exit_GSMMode", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Enter_TDFDTMode", "", ExportShape::kPlain, ExportService::kCal, "Enter_TDFDTMode", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Exit_TDFDTMode", "", ExportShape::kPlain, ExportService::kCal, "Exit_TDFDTMode", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_FDT", "", ExportShape::kPlain, ExportService::kCal, "TD_FDT", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_WriteFDTRxTable", "", ExportShape::kPlain, ExportService::kCal, "TD_WriteFDTRxTable", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_WriteFDTTxTable", "", ExportShape::kPlain, ExportService::kCal, "TD_WriteFDTTxTable", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Enter_TDNSTMode", "", ExportShape::kPlain, ExportService::kCal, "Enter_TDNSTMode", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_UpDateRam", "", ExportShape::kPlain, ExportService::kCal, "TD_UpDateRam", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_NST_ACLR", "", ExportShape::kPlain, ExportService::kCal, "TD_NST_ACLR", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_NST_BER", "", ExportShape::kPlain, ExportService::kCal, "TD_NST_BER", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_NST_EVM", "", ExportShape::kPlain, ExportService::kCal, "TD_NST_EVM", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_NST_FreqErr", "", ExportShape::kPlain, ExportService::kCal, "TD_NST_FreqErr", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_NST_MaxIn", "", ExportShape::kPlain, ExportService::kCal, "TD_NST_MaxIn", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_NST_OBW", "", ExportShape::kPlain, ExportService::kCal, "TD_NST_OBW", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_NST_PCDE", "", ExportShape::kPlain, ExportService::kCal, "TD_NST_PCDE", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_NST_PVT", "", ExportShape::kPlain, ExportService::kCal, "TD_NST_PVT", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_NST_Pwr", "", ExportShape::kPlain, ExportService::kCal, "TD_NST_Pwr", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_NST_RSCP", "", ExportShape::kPlain, ExportService::kCal, "TD_NST_RSCP", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TD_NST_SEM", "", ExportShape::kPlain, ExportService::kCal, "TD_NST_SEM", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"FDDLTE_EnterTestMode", "", ExportShape::kPlain, ExportService::kCal, "FDDLTE_EnterTestMode", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"FDDLTE_ExitTestMode", "", ExportShape::kPlain, ExportService::kCal, "FDDLTE_ExitTestMode", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"FDDLTE_TxCal_7", "", ExportShape::kPlain, ExportService::kCal, "FDDLTE_TxCal_7", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"FDDLTE_RxCal_7", "", ExportShape::kPlain, ExportService::kCal, "FDDLTE_RxCal_7", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"FDDLTE_TFC_7", "", ExportShape::kPlain, ExportService::kCal, "FDDLTE_TFC_7", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Write_CalData_FDDLTE", "", ExportShape::kPlain, ExportService::kCal, "Write_CalData_FDDLTE", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Write_TestInfo_FDDLTE", "", ExportShape::kPlain, ExportService::kCal, "Write_TestInfo_FDDLTE", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_EnterTestMode", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_EnterTestMode", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_ExitTestMode", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_ExitTestMode", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_AFC_Cal", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_AFC_Cal", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_TxCal_38", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_TxCal_38", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_TxCal_39", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_TxCal_39", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_TxCal_40", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_TxCal_40", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_TFC_38", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_TFC_38", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_TFC_39", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_TFC_39", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_TFC_40", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_TFC_40", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_RxCal_38", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_RxCal_38", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_RxCal_39", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_RxCal_39", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_RxCal_40", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_RxCal_40", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Write_CalData_TDDLTE", "", ExportShape::kPlain, ExportService::kCal, "Write_CalData_TDDLTE", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Write_TestInfo_TDDLTE", "", ExportShape::kPlain, ExportService::kCal, "Write_TestInfo_TDDLTE", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Check_SN", "b", ExportShape::kSerialCheckA, ExportService::kCal, "Check_SN", StagingOrder::kNone, {}, ManagerOperation::kNone, UnitRole::kNames},
    {"LTE_ReadPower_CabLoss", "p", ExportShape::kReadPower, ExportService::kCal, "LTE_ReadPower_CabLoss", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"FDDLTE_TxCal_800M", "", ExportShape::kPlain, ExportService::kCal, "FDDLTE_TxCal_7", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"FDDLTE_RxCal_800M", "", ExportShape::kPlain, ExportService::kCal, "FDDLTE_RxCal_7", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"FDDLTE_TFC_800M", "", ExportShape::kPlain, ExportService::kCal, "FDDLTE_TFC_7", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_TxCal_14G", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_TxCal_38", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_TxCal_18G", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_TxCal_39", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_TFC_14G", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_TFC_38", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_TFC_18G", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_TFC_39", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_RxCal_14G", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_RxCal_38", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TDDLTE_RxCal_18G", "", ExportShape::kPlain, ExportService::kCal, "TDDLTE_RxCal_39", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Check_TestInfo", "i", ExportShape::kStaged, ExportService::kCal, "Check_TestInfo", StagingOrder::kStagingFirst, catalogue_detail::kCheck_TestInfoStaging, ManagerOperation::kNone},
    {"Clear_TestInfo", "i", ExportShape::kStaged, ExportService::kCal, "Clear_TestInfo", StagingOrder::kStagingFirst, catalogue_detail::kClear_TestInfoStaging, ManagerOperation::kNone},
    {"Write_TestInfo_TD", "i", ExportShape::kStaged, ExportService::kCal, "Write_TestInfo_TD", StagingOrder::kStagingFirst, catalogue_detail::kWrite_TestInfo_TDStaging, ManagerOperation::kNone},
    {"GSM_AFC_Cal", "i", ExportShape::kStaged, ExportService::kCal, "GSM_AFC_Cal", StagingOrder::kStagingFirst, catalogue_detail::kGSM_AFC_CalStaging, ManagerOperation::kNone},
    {"Write_TestInfo_GSM", "i", ExportShape::kStaged, ExportService::kCal, "Write_TestInfo_GSM", StagingOrder::kServiceFirst, catalogue_detail::kWrite_TestInfo_GSMStaging, ManagerOperation::kNone},
    {"GSM_NST_MeasEDGEPower", "iii", ExportShape::kStaged, ExportService::kCal, "GSM_NST_MeasEDGEPower", StagingOrder::kServiceFirst, catalogue_detail::kGSM_NST_MeasEDGEPowerStaging, ManagerOperation::kNone},
    {"GSM_NST_MeasPower", "iii", ExportShape::kStaged, ExportService::kCal, "GSM_NST_MeasPower", StagingOrder::kServiceFirst, catalogue_detail::kGSM_NST_MeasPowerStaging, ManagerOperation::kNone},
    {"GSM_NST_MeasAll", "iiii", ExportShape::kStaged, ExportService::kCal, "GSM_NST_MeasAll", StagingOrder::kServiceFirst, catalogue_detail::kGSM_NST_MeasAllStaging, ManagerOperation::kNone},
    {"GSM_NST_MeasPowerSensitivity", "iiii", ExportShape::kStaged, ExportService::kCal, "GSM_NST_MeasPowerSensitivity", StagingOrder::kServiceFirst, catalogue_detail::kGSM_NST_MeasPowerSensitivityStaging, ManagerOperation::kNone},
    {"TD_NST_Connect", "i", ExportShape::kStaged, ExportService::kCal, "TD_NST_Connect", StagingOrder::kStagingFirst, catalogue_detail::kTD_NST_ConnectStaging, ManagerOperation::kNone},
    {"TD_NST_SetChannel", "i", ExportShape::kStaged, ExportService::kCal, "TD_NST_SetChannel", StagingOrder::kStagingFirst, catalogue_detail::kTD_NST_SetChannelStaging, ManagerOperation::kNone},
    {"FDDLTE_AFC_Cal", "i", ExportShape::kOptionalOffset, ExportService::kCal, "FDDLTE_AFC_Cal", StagingOrder::kStagingFirst, catalogue_detail::kFDDLTE_AFC_CalStaging, ManagerOperation::kNone},
    {"LTE_SetULFreq_CabLoss", "d", ExportShape::kStaged, ExportService::kCal, "LTE_SetULFreq_CabLoss", StagingOrder::kServiceFirst, catalogue_detail::kLTE_SetULFreq_CabLossStaging, ManagerOperation::kNone},
    {"LTE_SetULExpPower_CabLoss", "d", ExportShape::kStaged, ExportService::kCal, "LTE_SetULExpPower_CabLoss", StagingOrder::kServiceFirst, catalogue_detail::kLTE_SetULExpPower_CabLossStaging, ManagerOperation::kNone},
    {"InitTestInterface_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "InitTestInterface", StagingOrder::kNone, {}, ManagerOperation::kNone, UnitRole::kBegins},
    {"InitGsmFinalTestData_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "InitGsmFinalTestData", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"InitEdgeFinalTestData_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "InitEdgeFinalTestData", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"DeviceRest_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "DeviceReset", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"InitSerialPort_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "InitSerialPort", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"InitMobile_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "InitMobile", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TurnOnMobile_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "TurnOnMobile", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"QueryMobileEdgeStatus_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "QueryMobileEdgeStatus", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"MeasPowerSensitivityRxlev_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "MeasPowerSensitivityRxlev", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"MeasPowerSensitivity_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "MeasPowerSensitivity", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"MeasPower_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "MeasPower", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"EndConnection_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "EndConnection", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"WriteTestInfo_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "WriteTestInfo", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"EndMoblieTest_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "EndMoblieTest", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInitSerialPort_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "UnlnitSerialPort", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInitDevice_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "UnInitDevice", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInitTestInterface_GSMFT", "", ExportShape::kPlain, ExportService::kGsmFt, "UnInitTestInterface", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"CheckBarcode_GSMFT", "b", ExportShape::kSerialCheckB, ExportService::kGsmFt, "CheckBarcode", StagingOrder::kNone, {}, ManagerOperation::kNone, UnitRole::kNames},
    {"InitDevice_GSMFT", "di", ExportShape::kStaged, ExportService::kGsmFt, "InitDevice", StagingOrder::kServiceFirst, catalogue_detail::kInitDevice_GSMFTStaging, ManagerOperation::kNone},
    {"EdgeDeviceConnectConfigBand_GSMFT", "i", ExportShape::kStaged, ExportService::kGsmFt, "EdgeDeviceConnectConfigBand", StagingOrder::kServiceFirst, catalogue_detail::kEdgeDeviceConnectConfigBand_GSMFTStaging, ManagerOperation::kNone},
    {"CheckTestInfo_GSMFT", "i", ExportShape::kStaged, ExportService::kGsmFt, "CheckTestInfo", StagingOrder::kServiceFirst, catalogue_detail::kCheckTestInfo_GSMFTStaging, ManagerOperation::kNone},
    {"SwitchMobileMode_GSMFT", "i", ExportShape::kStaged, ExportService::kGsmFt, "SwitchMobileMode", StagingOrder::kServiceFirst, catalogue_detail::kSwitchMobileMode_GSMFTStaging, ManagerOperation::kNone},
    {"GetBandChannelLevInfo_GSMFT", "iii", ExportShape::kStaged, ExportService::kGsmFt, "GetBandChannelLevInfo", StagingOrder::kServiceFirst, catalogue_detail::kGetBandChannelLevInfo_GSMFTStaging, ManagerOperation::kNone},
    {"EdgeDeviceConnectMsBand_GSMFT", "i", ExportShape::kStaged, ExportService::kGsmFt, "EdgeDeviceConnectMsBand", StagingOrder::kServiceFirst, catalogue_detail::kEdgeDeviceConnectMsBand_GSMFTStaging, ManagerOperation::kNone},
    {"EdgeMeasTMABand_GSMFT", "i", ExportShape::kStaged, ExportService::kGsmFt, "EdgeMeasTMABand", StagingOrder::kServiceFirst, catalogue_detail::kEdgeMeasTMABand_GSMFTStaging, ManagerOperation::kNone},
    {"EdgeHandoverBand_GSMFT", "ii", ExportShape::kStaged, ExportService::kGsmFt, "EdgeHandoverBand", StagingOrder::kServiceFirst, catalogue_detail::kEdgeHandoverBand_GSMFTStaging, ManagerOperation::kNone},
    {"EdgeEndConnectionBand_GSMFT", "i", ExportShape::kStaged, ExportService::kGsmFt, "EdgeEndConnectionBand", StagingOrder::kServiceFirst, catalogue_detail::kEdgeEndConnectionBand_GSMFTStaging, ManagerOperation::kNone},
    {"GsmDeviceConnectConfigBand_GSMFT", "i", ExportShape::kStaged, ExportService::kGsmFt, "GsmDeviceConnectConfigBand", StagingOrder::kServiceFirst, catalogue_detail::kGsmDeviceConnectConfigBand_GSMFTStaging, ManagerOperation::kNone},
    {"CallToDeviceBand_GSMFT", "iiiii", ExportShape::kStaged, ExportService::kGsmFt, "CallToDeviceBand", StagingOrder::kServiceFirst, catalogue_detail::kCallToDeviceBand_GSMFTStaging, ManagerOperation::kNone},
    {"GsmHandoverBand_GSMFT", "ii", ExportShape::kStaged, ExportService::kGsmFt, "GsmHandoverBand", StagingOrder::kServiceFirst, catalogue_detail::kGsmHandoverBand_GSMFTStaging, ManagerOperation::kNone},
    {"InitTestInterface_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "InitTestInterface", StagingOrder::kNone, {}, ManagerOperation::kNone, UnitRole::kBegins},
    {"InitTDFinalTestData_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "InitTDFinalTestData", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"DeviceReset_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "DeviceReset", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"InitSerialPort_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "InitSerialPort", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"InitMobile_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "InitMobile", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"CheckTestInfo_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "CheckTestInfo", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"RegisterCard_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "RegisterCard", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TxCLPC_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "TxCLPC", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TxSEM_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "TxSEM", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TxACLR_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "TxACLR", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"TxOnOffTmMsk_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "TxOnOffTmMsk", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"SwitchChannel_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "SwitchChannel", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"WriteTestInfo_Mobile_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "WriteTestInfo_Mobile", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"EndConnection_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "EndConnection", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnlnitSerialPort_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "UnlnitSerialPort", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInitDevice_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "UnInitDevice", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInitTestInterface_TDFT", "", ExportShape::kPlain, ExportService::kTdFt, "UnInitTestInterface", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"CheckBarcode_TDAT", "b", ExportShape::kSerialCheckB, ExportService::kTdFt, "CheckBarcode", StagingOrder::kNone, {}, ManagerOperation::kNone, UnitRole::kNames},
    {"InitDevice_TDFT", "di", ExportShape::kStaged, ExportService::kTdFt, "InitDevice", StagingOrder::kStagingFirst, catalogue_detail::kInitDevice_TDFTStaging, ManagerOperation::kNone},
    {"Mode_Select_TDFT", "s", ExportShape::kStaged, ExportService::kTdFt, "Mode_Select", StagingOrder::kStagingFirst, catalogue_detail::kMode_Select_TDFTStaging, ManagerOperation::kNone},
    {"Bs_Config_TDFT", "di", ExportShape::kStaged, ExportService::kTdFt, "Bs_Config", StagingOrder::kStagingFirst, catalogue_detail::kBs_Config_TDFTStaging, ManagerOperation::kNone},
    {"SwitchMobileMode_TDFT", "i", ExportShape::kStaged, ExportService::kTdFt, "SwitchMobileMode", StagingOrder::kStagingFirst, catalogue_detail::kSwitchMobileMode_TDFTStaging, ManagerOperation::kNone},
    {"EstablishLink_TDFT", "iiiii", ExportShape::kStaged, ExportService::kTdFt, "EstablishLink", StagingOrder::kStagingFirst, catalogue_detail::kEstablishLink_TDFTStaging, ManagerOperation::kNone},
    {"GetChannelInfo_TDFT", "ii", ExportShape::kStaged, ExportService::kTdFt, "GetChannelInfo", StagingOrder::kStagingFirst, catalogue_detail::kGetChannelInfo_TDFTStaging, ManagerOperation::kNone},
    {"TxMaxPwr_TDFT", "iii", ExportShape::kStaged, ExportService::kTdFt, "TxMaxPwr", StagingOrder::kStagingFirst, catalogue_detail::kTxMaxPwr_TDFTStaging, ManagerOperation::kNone},
    {"TxMinPwr_TDFT", "i", ExportShape::kStaged, ExportService::kTdFt, "TxMinPwr", StagingOrder::kStagingFirst, catalogue_detail::kTxMinPwr_TDFTStaging, ManagerOperation::kNone},
    {"TxOBW_TDFT", "dd", ExportShape::kStaged, ExportService::kTdFt, "TxOBW", StagingOrder::kStagingFirst, catalogue_detail::kTxOBW_TDFTStaging, ManagerOperation::kNone},
    {"TxFreqStability_TDFT", "ii", ExportShape::kStaged, ExportService::kTdFt, "TxFreqStability", StagingOrder::kStagingFirst, catalogue_detail::kTxFreqStability_TDFTStaging, ManagerOperation::kNone},
    {"TxOffPwr_TDFT", "i", ExportShape::kStaged, ExportService::kTdFt, "TxOffPwr", StagingOrder::kStagingFirst, catalogue_detail::kTxOffPwr_TDFTStaging, ManagerOperation::kNone},
    {"TxEVM_TDFT", "d", ExportShape::kStaged, ExportService::kTdFt, "TxEVM", StagingOrder::kStagingFirst, catalogue_detail::kTxEVM_TDFTStaging, ManagerOperation::kNone},
    {"TxPCDE_TDFT", "i", ExportShape::kStaged, ExportService::kTdFt, "TxPCDE", StagingOrder::kStagingFirst, catalogue_detail::kTxPCDE_TDFTStaging, ManagerOperation::kNone},
    {"RxSens_TDFT", "d", ExportShape::kStaged, ExportService::kTdFt, "RxSens", StagingOrder::kStagingFirst, catalogue_detail::kRxSens_TDFTStaging, ManagerOperation::kNone},
    {"RxRSCP_TDFT", "iii", ExportShape::kStaged, ExportService::kTdFt, "RxRSCP", StagingOrder::kStagingFirst, catalogue_detail::kRxRSCP_TDFTStaging, ManagerOperation::kNone},
    {"RxMaxIn_TDFT", "d", ExportShape::kStaged, ExportService::kTdFt, "RxMaxIn", StagingOrder::kStagingFirst, catalogue_detail::kRxMaxIn_TDFTStaging, ManagerOperation::kNone},
    {"Init_Instrument_LTEFT", "", ExportShape::kPlain, ExportService::kLteFt, "Init_Instrument_Lte", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Init_ComPort_LTEFT", "", ExportShape::kPlain, ExportService::kLteFt, "Init_ComPort_Lte", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"CheckSerialPortStatus_LTEFT", "", ExportShape::kPlain, ExportService::kLteFt, "CheckSerialPortStatus", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"CheckTestInfo_LTEFT", "", ExportShape::kPlain, ExportService::kLteFt, "CheckTestInfo", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"EstablishLink_LTEFT", "", ExportShape::kPlain, ExportService::kLteFt, "EstablishLink", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"LteChan_HandOver_LTEFT", "", ExportShape::kPlain, ExportService::kLteFt, "LteChan_HandOver", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Lte_EndMeasurement_LTEFT", "", ExportShape::kPlain, ExportService::kLteFt, "Lte_EndMeasurement", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"WriteFTFlag_LTEFT", "", ExportShape::kPlain, ExportService::kLteFt, "WriteFTFlag", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInit_ComPort_LTEFT", "", ExportShape::kPlain, ExportService::kLteFt, "UnInit_ComPort_Lte", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInit_Instrument_LTEFT", "", ExportShape::kPlain, ExportService::kLteFt, "UnInit_Instrument_Lte", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInit_TestInterface_LTEFT", "", ExportShape::kPlain, ExportService::kLteFt, "UnInit_TestInterface_Lte", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"CheckBarcode_LTEAT", "b", ExportShape::kSerialCheckA, ExportService::kLteFt, "CheckBarcode", StagingOrder::kNone, {}, ManagerOperation::kNone, UnitRole::kNames},
    {"Init_TestInterface_LTEFT", "i", ExportShape::kStaged, ExportService::kLteFt, "Init_TestInterface_Lte", StagingOrder::kStagingFirst, catalogue_detail::kInit_TestInterface_LTEFTStaging, ManagerOperation::kNone, UnitRole::kBegins},
    {"SwitchMobileMode_LTEFT", "i", ExportShape::kStaged, ExportService::kLteFt, "SwitchMobileMode", StagingOrder::kStagingFirst, catalogue_detail::kSwitchMobileMode_LTEFTStaging, ManagerOperation::kNone},
    {"RegisterCard_LTECP", "ii", ExportShape::kStaged, ExportService::kLteFt, "RegisterCard_ForWuLian", StagingOrder::kStagingFirst, catalogue_detail::kRegisterCard_LTECPStaging, ManagerOperation::kNone},
    {"RegisterCard_LTEFT", "iii", ExportShape::kStaged, ExportService::kLteFt, "RegisterCard", StagingOrder::kStagingFirst, catalogue_detail::kRegisterCard_LTEFTStaging, ManagerOperation::kNone},
    {"LteGet_ChannelNum_LTEFT", "ii", ExportShape::kStaged, ExportService::kLteFt, "LteGet_ChannelNum", StagingOrder::kStagingFirst, catalogue_detail::kLteGet_ChannelNum_LTEFTStaging, ManagerOperation::kNone},
    {"LteBand_HandOver_LTEFT", "ii", ExportShape::kStaged, ExportService::kLteFt, "LteBand_HandOver", StagingOrder::kStagingFirst, catalogue_detail::kLteBand_HandOver_LTEFTStaging, ManagerOperation::kNone},
    {"LteTest_MinPwr_LTEFT", "d", ExportShape::kStaged, ExportService::kLteFt, "LteTest_MinPwr", StagingOrder::kStagingFirst, catalogue_detail::kLteTest_MinPwr_LTEFTStaging, ManagerOperation::kNone},
    {"LteTest_Sensitivity_LTEFT", "idddd", ExportShape::kStaged, ExportService::kLteFt, "LteTest_Sensitivity", StagingOrder::kStagingFirst, catalogue_detail::kLteTest_Sensitivity_LTEFTStaging, ManagerOperation::kNone},
    {"LteTest_RSRP_LTEFT", "ss", ExportShape::kStaged, ExportService::kLteFt, "LteTest_RSRP", StagingOrder::kStagingFirst, catalogue_detail::kLteTest_RSRP_LTEFTStaging, ManagerOperation::kNone},
    {"Bs_Config_LTEFT", "iiddiissiiiiiiiii", ExportShape::kStaged, ExportService::kLteFt, "Bs_Config", StagingOrder::kStagingFirst, catalogue_detail::kBs_Config_LTEFTStaging, ManagerOperation::kNone},
    {"LteTest_MaxPwrAll_LTEFT", "ddiiisiiiiiiiddddd", ExportShape::kStaged, ExportService::kLteFt, "LteTest_MaxPwrAll", StagingOrder::kStagingFirst, catalogue_detail::kLteTest_MaxPwrAll_LTEFTStaging, ManagerOperation::kNone},
    {"Init_TestInterface_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "Init_TestInterface", StagingOrder::kNone, {}, ManagerOperation::kNone, UnitRole::kBegins},
    {"WiFi_EnterTestMode_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "WiFi_EnterTestMode", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Init_NetPort_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "Init_NetPort", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"WiFi_TxFreqCal_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "WiFi_TxFreqCal", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"WiFi_TxPwrCal_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "WiFi_TxPwrCal", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Wifi_WriteCalFlag_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "Wifi_WriteCalFlag", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"WiFi_SetCableLoss_Config_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "WiFi_SetCableLoss_Config", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"WiFi_TxMeas_Result_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "WiFi_TxMeas_Result", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"WiFi_RXSensitivity_Result_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "WiFi_RXSensitivity_Result", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Wifi_WriteFTFlag_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "Wifi_WriteFTFlag", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInit_NetPort_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "UnInit_NetPort", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"WiFi_QuitTestMode_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "WiFi_QuitTestMode", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInit_Instrument_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "UnInit_Instrument", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"UnInit_TestInterface_Ufi", "", ExportShape::kPlain, ExportService::kWifi, "UnInit_TestInterface", StagingOrder::kNone, {}, ManagerOperation::kNone},
    {"Init_Instrument_Ufi", "i", ExportShape::kStaged, ExportService::kWifi, "Init_Instrument", StagingOrder::kStagingFirst, catalogue_detail::kInit_Instrument_UfiStaging, ManagerOperation::kNone},
    {"WiFi_Config_RFPortNum_Ufi", "i", ExportShape::kStaged, ExportService::kWifi, "WiFi_Config_RFPortNum", StagingOrder::kStagingFirst, catalogue_detail::kWiFi_Config_RFPortNum_UfiStaging, ManagerOperation::kNone},
    {"WiFi_Config_Mode_Ufi", "i", ExportShape::kStaged, ExportService::kWifi, "WiFi_Config_Mode", StagingOrder::kStagingFirst, catalogue_detail::kWiFi_Config_Mode_UfiStaging, ManagerOperation::kNone},
    {"WiFi_Config_MCS_Ufi", "i", ExportShape::kStaged, ExportService::kWifi, "WiFi_Config_MCS", StagingOrder::kStagingFirst, catalogue_detail::kWiFi_Config_MCS_UfiStaging, ManagerOperation::kNone},
    {"WiFi_Config_Channel_Ufi", "i", ExportShape::kStaged, ExportService::kWifi, "WiFi_Config_Channel", StagingOrder::kStagingFirst, catalogue_detail::kWiFi_Config_Channel_UfiStaging, ManagerOperation::kNone},
    {"WiFi_VSAConfig_Ufi", "ii", ExportShape::kStaged, ExportService::kWifi, "WiFi_VSAConfig", StagingOrder::kStagingFirst, catalogue_detail::kWiFi_VSAConfig_UfiStaging, ManagerOperation::kNone},
    {"WiFi_VSGSensitivityConfig_Ufi", "ii", ExportShape::kStaged, ExportService::kWifi, "WiFi_VSGSensitivityConfig", StagingOrder::kStagingFirst, catalogue_detail::kWiFi_VSGSensitivityConfig_UfiStaging, ManagerOperation::kNone},
    {"ReadBarcode_Ufi", "bi", ExportShape::kReadBarcode, ExportService::kWifi, "Read_Barcode", StagingOrder::kStagingFirst, catalogue_detail::kReadBarcode_UfiStaging, ManagerOperation::kNone, UnitRole::kNames},
    {"TDDLTE_TxInit_CabLoss", "iiiiiiii", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kTDDLTE_TxInit_CabLoss},
    {"TDDLTE_TxClose_CabLoss", "", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kTDDLTE_TxClose_CabLoss},
    {"FDDLTE_TxInit_CabLoss", "iiiiiiii", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kFDDLTE_TxInit_CabLoss},
    {"FDDLTE_TxClose_CabLoss", "", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kFDDLTE_TxClose_CabLoss},
    {"Init_TestDLL_SN", "", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kInit_TestDLL_SN, UnitRole::kBegins},
    {"OpenPort", "ii", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kOpenPort},
    {"ClosePort", "", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kClosePort},
    {"WriteSN", "si", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kWriteSN},
    {"ReadSN", "bi", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kReadSN, UnitRole::kNames},
    {"WriteMSN", "si", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kWriteMSN},
    {"ReadMSN", "bi", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kReadMSN},
    {"WriteIMEI", "si", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kWriteIMEI},
    {"ReadIMEI", "bi", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kReadIMEI},
    {"WritePSN16Bit", "si", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kWritePSN16Bit},
    {"ReadPSN16Bit", "bi", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kReadPSN16Bit},
    {"ReadIntSoftVersion", "bi", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kReadIntSoftVersion},
    {"ReadTestInfo", "ib", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kReadTestInfo},
    {"ReadTestInfo_AT", "ib", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kReadTestInfo_AT},
    {"WriteFTFlag18G_LTEFT", "", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kWriteTestFlag},
    {"WriteMAC", "s", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kWriteMAC},
    {"ReadMAC", "b", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kReadMAC},
    {"WriteSSID", "", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kWriteSSID},
    {"ReadSSID", "b", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kReadSSID},
    {"ReadTestInfo_UFI", "b", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kReadTestInfo_UFI},
    {"ReadIntSoftVersion_UFI", "b", ExportShape::kManager, ExportService::kSnManager, "", StagingOrder::kNone, {}, ManagerOperation::kReadIntSoftVersion_UFI},
    {"Init_TestDll_DL", "", ExportShape::kManager, ExportService::kDownloadManager, "", StagingOrder::kNone, {}, ManagerOperation::kPrepareDownload, UnitRole::kBegins},
    {"StartDownloadImage", "sicsiis", ExportShape::kManager, ExportService::kDownloadManager, "", StagingOrder::kNone, {}, ManagerOperation::kStartDownload},
    {"StopDoadloadImage", "", ExportShape::kManager, ExportService::kDownloadManager, "", StagingOrder::kNone, {}, ManagerOperation::kStopDownload},
};

inline constexpr size_t kExportCount = std::size(kExportCatalogue);

// Position of `name` in the catalogue, kExportCount when it is not there.
constexpr size_t IndexOfExport(std::string_view name) {
  for (size_t i = 0; i < kExportCount; ++i)
    if (kExportCatalogue[i].name == name) return i;
  return kExportCount;
}

// The row of `name`, null when there is none.
constexpr const ExportRow *FindExport(std::string_view name) {
  const size_t i = IndexOfExport(name);
  return i < kExportCount ? &kExportCatalogue[i] : nullptr;
}

// Text names of the enumerations, as tools print them ("cal", "kStaged" -> "staged", ...).
std::string_view ServiceName(ExportService service);
std::string_view ShapeName(ExportShape shape);
std::string_view ManagerOperationName(ManagerOperation operation);
std::string_view UnitRoleName(UnitRole role);

} // namespace qrx
