// GSM, TD and LTE final-test exports: each forwards to its final-test library through its
// catalogue row.
#include "interface/export_forwarder.h"
#include "interface/export_macros.h"

#include <qrx/qrx_interface.h>

QRX_EXPORT int InitTestInterface_GSMFT(void) {
  return qrx::ForwardExport<"InitTestInterface_GSMFT">();
}

QRX_EXPORT int InitGsmFinalTestData_GSMFT(void) {
  return qrx::ForwardExport<"InitGsmFinalTestData_GSMFT">();
}

QRX_EXPORT int InitEdgeFinalTestData_GSMFT(void) {
  return qrx::ForwardExport<"InitEdgeFinalTestData_GSMFT">();
}

QRX_EXPORT int DeviceRest_GSMFT(void) {
  return qrx::ForwardExport<"DeviceRest_GSMFT">();
}

QRX_EXPORT int InitSerialPort_GSMFT(void) {
  return qrx::ForwardExport<"InitSerialPort_GSMFT">();
}

QRX_EXPORT int InitMobile_GSMFT(void) {
  return qrx::ForwardExport<"InitMobile_GSMFT">();
}

QRX_EXPORT int TurnOnMobile_GSMFT(void) {
  return qrx::ForwardExport<"TurnOnMobile_GSMFT">();
}

QRX_EXPORT int QueryMobileEdgeStatus_GSMFT(void) {
  return qrx::ForwardExport<"QueryMobileEdgeStatus_GSMFT">();
}

QRX_EXPORT int MeasPowerSensitivityRxlev_GSMFT(void) {
  return qrx::ForwardExport<"MeasPowerSensitivityRxlev_GSMFT">();
}

QRX_EXPORT int MeasPowerSensitivity_GSMFT(void) {
  return qrx::ForwardExport<"MeasPowerSensitivity_GSMFT">();
}

QRX_EXPORT int MeasPower_GSMFT(void) {
  return qrx::ForwardExport<"MeasPower_GSMFT">();
}

QRX_EXPORT int EndConnection_GSMFT(void) {
  return qrx::ForwardExport<"EndConnection_GSMFT">();
}

QRX_EXPORT int WriteTestInfo_GSMFT(void) {
  return qrx::ForwardExport<"WriteTestInfo_GSMFT">();
}

QRX_EXPORT int EndMoblieTest_GSMFT(void) {
  return qrx::ForwardExport<"EndMoblieTest_GSMFT">();
}

QRX_EXPORT int UnInitSerialPort_GSMFT(void) {
  return qrx::ForwardExport<"UnInitSerialPort_GSMFT">();
}

QRX_EXPORT int UnInitDevice_GSMFT(void) {
  return qrx::ForwardExport<"UnInitDevice_GSMFT">();
}

QRX_EXPORT int UnInitTestInterface_GSMFT(void) {
  return qrx::ForwardExport<"UnInitTestInterface_GSMFT">();
}

QRX_EXPORT int CheckBarcode_GSMFT(char *serialNumber) {
  return qrx::ForwardExport<"CheckBarcode_GSMFT">(serialNumber);
}

QRX_EXPORT int InitDevice_GSMFT(double SensitivityNumber, int DisplayOn) {
  return qrx::ForwardExport<"InitDevice_GSMFT">(SensitivityNumber, DisplayOn);
}

QRX_EXPORT int EdgeDeviceConnectConfigBand_GSMFT(int BandNumber) {
  return qrx::ForwardExport<"EdgeDeviceConnectConfigBand_GSMFT">(BandNumber);
}

QRX_EXPORT int CheckTestInfo_GSMFT(int TestStationNum) {
  return qrx::ForwardExport<"CheckTestInfo_GSMFT">(TestStationNum);
}

QRX_EXPORT int SwitchMobileMode_GSMFT(int nModeValue) {
  return qrx::ForwardExport<"SwitchMobileMode_GSMFT">(nModeValue);
}

QRX_EXPORT int GetBandChannelLevInfo_GSMFT(int BandNumber, int LevelNumber, int ChannelNumber) {
  return qrx::ForwardExport<"GetBandChannelLevInfo_GSMFT">(BandNumber, LevelNumber, ChannelNumber);
}

QRX_EXPORT int EdgeDeviceConnectMsBand_GSMFT(int BandNumber) {
  return qrx::ForwardExport<"EdgeDeviceConnectMsBand_GSMFT">(BandNumber);
}

QRX_EXPORT int EdgeMeasTMABand_GSMFT(int BandNumber) {
  return qrx::ForwardExport<"EdgeMeasTMABand_GSMFT">(BandNumber);
}

QRX_EXPORT int EdgeHandoverBand_GSMFT(int SourceBandNumber, int DesBandNumber) {
  return qrx::ForwardExport<"EdgeHandoverBand_GSMFT">(SourceBandNumber, DesBandNumber);
}

QRX_EXPORT int EdgeEndConnectionBand_GSMFT(int BandNumber) {
  return qrx::ForwardExport<"EdgeEndConnectionBand_GSMFT">(BandNumber);
}

QRX_EXPORT int GsmDeviceConnectConfigBand_GSMFT(int BandNumber) {
  return qrx::ForwardExport<"GsmDeviceConnectConfigBand_GSMFT">(BandNumber);
}

QRX_EXPORT int CallToDeviceBand_GSMFT(int BandNumber, int WaitTimeBeforeDial, int RepeatDialTimes,
    int nQuerySignalTimes, int nWaitTimeBeforeQuerySignalStat) {
  return qrx::ForwardExport<"CallToDeviceBand_GSMFT">(BandNumber, WaitTimeBeforeDial,
      RepeatDialTimes, nQuerySignalTimes, nWaitTimeBeforeQuerySignalStat);
}

QRX_EXPORT int GsmHandoverBand_GSMFT(int SourceBandNumber, int DesBandNumber) {
  return qrx::ForwardExport<"GsmHandoverBand_GSMFT">(SourceBandNumber, DesBandNumber);
}

QRX_EXPORT int InitTestInterface_TDFT(void) {
  return qrx::ForwardExport<"InitTestInterface_TDFT">();
}

QRX_EXPORT int InitTDFinalTestData_TDFT(void) {
  return qrx::ForwardExport<"InitTDFinalTestData_TDFT">();
}

QRX_EXPORT int DeviceReset_TDFT(void) {
  return qrx::ForwardExport<"DeviceReset_TDFT">();
}

QRX_EXPORT int InitSerialPort_TDFT(void) {
  return qrx::ForwardExport<"InitSerialPort_TDFT">();
}

QRX_EXPORT int InitMobile_TDFT(void) {
  return qrx::ForwardExport<"InitMobile_TDFT">();
}

QRX_EXPORT int CheckTestInfo_TDFT(void) {
  return qrx::ForwardExport<"CheckTestInfo_TDFT">();
}

QRX_EXPORT int RegisterCard_TDFT(void) {
  return qrx::ForwardExport<"RegisterCard_TDFT">();
}

QRX_EXPORT int TxCLPC_TDFT(void) {
  return qrx::ForwardExport<"TxCLPC_TDFT">();
}

QRX_EXPORT int TxSEM_TDFT(void) {
  return qrx::ForwardExport<"TxSEM_TDFT">();
}

QRX_EXPORT int TxACLR_TDFT(void) {
  return qrx::ForwardExport<"TxACLR_TDFT">();
}

QRX_EXPORT int TxOnOffTmMsk_TDFT(void) {
  return qrx::ForwardExport<"TxOnOffTmMsk_TDFT">();
}

QRX_EXPORT int SwitchChannel_TDFT(void) {
  return qrx::ForwardExport<"SwitchChannel_TDFT">();
}

QRX_EXPORT int WriteTestInfo_Mobile_TDFT(void) {
  return qrx::ForwardExport<"WriteTestInfo_Mobile_TDFT">();
}

QRX_EXPORT int EndConnection_TDFT(void) {
  return qrx::ForwardExport<"EndConnection_TDFT">();
}

QRX_EXPORT int UnlnitSerialPort_TDFT(void) {
  return qrx::ForwardExport<"UnlnitSerialPort_TDFT">();
}

QRX_EXPORT int UnInitDevice_TDFT(void) {
  return qrx::ForwardExport<"UnInitDevice_TDFT">();
}

QRX_EXPORT int UnInitTestInterface_TDFT(void) {
  return qrx::ForwardExport<"UnInitTestInterface_TDFT">();
}

QRX_EXPORT int CheckBarcode_TDAT(char *serialNumber) {
  return qrx::ForwardExport<"CheckBarcode_TDAT">(serialNumber);
}

QRX_EXPORT int InitDevice_TDFT(double SensitivityNumber, int DisplayOn) {
  return qrx::ForwardExport<"InitDevice_TDFT">(SensitivityNumber, DisplayOn);
}

QRX_EXPORT int Mode_Select_TDFT(const char *mode) {
  return qrx::ForwardExport<"Mode_Select_TDFT">(mode);
}

QRX_EXPORT int Bs_Config_TDFT(double CellPower, int ChannelNumber) {
  return qrx::ForwardExport<"Bs_Config_TDFT">(CellPower, ChannelNumber);
}

QRX_EXPORT int SwitchMobileMode_TDFT(int nModeValue) {
  return qrx::ForwardExport<"SwitchMobileMode_TDFT">(nModeValue);
}

QRX_EXPORT int EstablishLink_TDFT(int BandNumber, int nQuerySignalTimes, int WaitTimeBeforeDial,
    int RepeatDialTimes, int nWaitTimeBeforeQuerySignalStat) {
  return qrx::ForwardExport<"EstablishLink_TDFT">(BandNumber, nQuerySignalTimes, WaitTimeBeforeDial,
      RepeatDialTimes, nWaitTimeBeforeQuerySignalStat);
}

QRX_EXPORT int GetChannelInfo_TDFT(int ChannelNumber, int ULPower) {
  return qrx::ForwardExport<"GetChannelInfo_TDFT">(ChannelNumber, ULPower);
}

QRX_EXPORT int TxMaxPwr_TDFT(int nMaxPowerUpper, int nMaxPowerLower, int nStep) {
  return qrx::ForwardExport<"TxMaxPwr_TDFT">(nMaxPowerUpper, nMaxPowerLower, nStep);
}

QRX_EXPORT int TxMinPwr_TDFT(int nMinPowerUpper) {
  return qrx::ForwardExport<"TxMinPwr_TDFT">(nMinPowerUpper);
}

QRX_EXPORT int TxOBW_TDFT(double dbOBWUpper, double dbOBWLower) {
  return qrx::ForwardExport<"TxOBW_TDFT">(dbOBWUpper, dbOBWLower);
}

QRX_EXPORT int TxFreqStability_TDFT(int nFreqErrorUpper, int nFreqErrorLower) {
  return qrx::ForwardExport<"TxFreqStability_TDFT">(nFreqErrorUpper, nFreqErrorLower);
}

QRX_EXPORT int TxOffPwr_TDFT(int dbOffPwrUpper) {
  return qrx::ForwardExport<"TxOffPwr_TDFT">(dbOffPwrUpper);
}

QRX_EXPORT int TxEVM_TDFT(double dbEVMUpper) {
  return qrx::ForwardExport<"TxEVM_TDFT">(dbEVMUpper);
}

QRX_EXPORT int TxPCDE_TDFT(int dbPCDEUpper) {
  return qrx::ForwardExport<"TxPCDE_TDFT">(dbPCDEUpper);
}

QRX_EXPORT int RxSens_TDFT(double dbRxSen) {
  return qrx::ForwardExport<"RxSens_TDFT">(dbRxSen);
}

QRX_EXPORT int RxRSCP_TDFT(int nBasePower, int nRSCPPowerUpper, int nRSCPPowerLower) {
  return qrx::ForwardExport<"RxRSCP_TDFT">(nBasePower, nRSCPPowerUpper, nRSCPPowerLower);
}

QRX_EXPORT int RxMaxIn_TDFT(double dbRxMaxIn) {
  return qrx::ForwardExport<"RxMaxIn_TDFT">(dbRxMaxIn);
}

QRX_EXPORT int Init_Instrument_LTEFT(void) {
  return qrx::ForwardExport<"Init_Instrument_LTEFT">();
}

QRX_EXPORT int Init_ComPort_LTEFT(void) {
  return qrx::ForwardExport<"Init_ComPort_LTEFT">();
}

QRX_EXPORT int CheckSerialPortStatus_LTEFT(void) {
  return qrx::ForwardExport<"CheckSerialPortStatus_LTEFT">();
}

QRX_EXPORT int CheckTestInfo_LTEFT(void) {
  return qrx::ForwardExport<"CheckTestInfo_LTEFT">();
}

QRX_EXPORT int EstablishLink_LTEFT(void) {
  return qrx::ForwardExport<"EstablishLink_LTEFT">();
}

QRX_EXPORT int LteChan_HandOver_LTEFT(void) {
  return qrx::ForwardExport<"LteChan_HandOver_LTEFT">();
}

QRX_EXPORT int Lte_EndMeasurement_LTEFT(void) {
  return qrx::ForwardExport<"Lte_EndMeasurement_LTEFT">();
}

QRX_EXPORT int WriteFTFlag_LTEFT(void) {
  return qrx::ForwardExport<"WriteFTFlag_LTEFT">();
}

QRX_EXPORT int UnInit_ComPort_LTEFT(void) {
  return qrx::ForwardExport<"UnInit_ComPort_LTEFT">();
}

QRX_EXPORT int UnInit_Instrument_LTEFT(void) {
  return qrx::ForwardExport<"UnInit_Instrument_LTEFT">();
}

QRX_EXPORT int UnInit_TestInterface_LTEFT(void) {
  return qrx::ForwardExport<"UnInit_TestInterface_LTEFT">();
}

QRX_EXPORT int CheckBarcode_LTEAT(char *serialNumber) {
  return qrx::ForwardExport<"CheckBarcode_LTEAT">(serialNumber);
}

QRX_EXPORT int Init_TestInterface_LTEFT(int TestMode) {
  return qrx::ForwardExport<"Init_TestInterface_LTEFT">(TestMode);
}

QRX_EXPORT int SwitchMobileMode_LTEFT(int nModeValue) {
  return qrx::ForwardExport<"SwitchMobileMode_LTEFT">(nModeValue);
}

QRX_EXPORT int RegisterCard_LTECP(int RecallTimes, int RecallWait) {
  return qrx::ForwardExport<"RegisterCard_LTECP">(RecallTimes, RecallWait);
}

QRX_EXPORT int RegisterCard_LTEFT(int SearchPriority, int RecallTimes, int RecallWait) {
  return qrx::ForwardExport<"RegisterCard_LTEFT">(SearchPriority, RecallTimes, RecallWait);
}

QRX_EXPORT int LteGet_ChannelNum_LTEFT(int Band, int UpLinkChannel) {
  return qrx::ForwardExport<"LteGet_ChannelNum_LTEFT">(Band, UpLinkChannel);
}

QRX_EXPORT int LteBand_HandOver_LTEFT(int Band, int UpLinkChannel) {
  return qrx::ForwardExport<"LteBand_HandOver_LTEFT">(Band, UpLinkChannel);
}

QRX_EXPORT int LteTest_MinPwr_LTEFT(double LimitMinPwrUpper) {
  return qrx::ForwardExport<"LteTest_MinPwr_LTEFT">(LimitMinPwrUpper);
}

QRX_EXPORT int LteTest_Sensitivity_LTEFT(int IsMaxInput, double BerLimit, double BSMaxInput,
    double BSRefPower, double MSPower) {
  return qrx::ForwardExport<"LteTest_Sensitivity_LTEFT">(IsMaxInput, BerLimit, BSMaxInput,
      BSRefPower, MSPower);
}

QRX_EXPORT int LteTest_RSRP_LTEFT(const char *RSRP_Levels, const char *RSRP_Threshold) {
  return qrx::ForwardExport<"LteTest_RSRP_LTEFT">(RSRP_Levels, RSRP_Threshold);
}

QRX_EXPORT int Bs_Config_LTEFT(int Band, int Channel, double MSPower, double BSPower, int Secu,
    int InstrMode, const char *KI, const char *UsimNumber, int BandWidth, int InStrFlag,
    int IsNormalFre, int ISTDD, int DlChanMin, int DlChanMax, int DFrleMin, int UDSeparation,
    int FddUpChanMin) {
  return qrx::ForwardExport<"Bs_Config_LTEFT">(Band, Channel, MSPower, BSPower, Secu, InstrMode, KI,
      UsimNumber, BandWidth, InStrFlag, IsNormalFre, ISTDD, DlChanMin, DlChanMax, DFrleMin,
      UDSeparation, FddUpChanMin);
}

QRX_EXPORT int LteTest_MaxPwrAll_LTEFT(double MaxPwrLmtUpp, double MaxPwrLmtLow, int FreqErrorLimit,
    int OBWLimit, int LteModulation, const char *TestRBsList, int SkipMaxPwr, int SkipEvm,
    int SkipPcde, int SkipFer, int SkipAclr, int SkipSem, int SkipObw, double EVMLimitQPSK,
    double EVMLimit16QAM, double ACLRLimitEUTRA, double ACLRLimitUTRA1, double ACLRLimitUTRA2) {
  return qrx::ForwardExport<"LteTest_MaxPwrAll_LTEFT">(MaxPwrLmtUpp, MaxPwrLmtLow, FreqErrorLimit,
      OBWLimit, LteModulation, TestRBsList, SkipMaxPwr, SkipEvm, SkipPcde, SkipFer, SkipAclr,
      SkipSem, SkipObw, EVMLimitQPSK, EVMLimit16QAM, ACLRLimitEUTRA, ACLRLimitUTRA1,
      ACLRLimitUTRA2);
}
