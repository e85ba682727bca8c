/* The exported functions of libQRXInterface.so, usable from C and C++.
 *
 * Every export works on the calling thread's station, made by InitQRXInterface on that thread,
 * and returns a signed 32-bit verdict: 0 success (by the test libraries' convention); 1 no
 * station on this thread, the station lacks the service, a staging name is missing in
 * BusinessCfg/Common.xml, or a text argument or buffer is null; -1 the test library is not
 * loaded or lacks the function; any other value is the test library's own result.
 *
 * Arguments of test-library exports reach the library as text entries of the hub's parameter
 * data set, under the names that BusinessCfg/Common.xml gives for each section and key:
 * integers as "%d", doubles as "%f" (six decimals), texts unchanged. Parameters are named
 * after the key they are staged under. */
#ifndef QRX_INTERFACE_H
#define QRX_INTERFACE_H

#include <stddef.h>
#include <stdint.h>

#include <qrx/download_event.h>
#include <qrx/host_ui.h>
#include <qrx/version.h>

#ifdef __cplusplus
class ILogObserver; /* <qrx/log_service.h> */
extern "C" {
#else
typedef struct ILogObserver ILogObserver;
#endif

/* Sizes of the buffers a host passes to the read exports, terminator included. The library
 * writes at most this many bytes into the buffer; a smaller buffer is overrun.
 *
 * QRX_READBACK_BUFFER_SIZE: Check_SN, CheckBarcode_LTEAT, CheckBarcode_GSMFT,
 *   CheckBarcode_TDAT, ReadBarcode_Ufi. A text that would not fit is not copied and the export
 *   returns 1 (a shortened serial number would name another device).
 * QRX_SN_BUFFER_SIZE: ReadSN (at most 49 characters and the terminator).
 * QRX_IMEI_BUFFER_SIZE: ReadIMEI (at most 15 digits and the terminator).
 * QRX_TEST_INFO_BUFFER_SIZE: ReadTestInfo. Item 20 writes the whole flag string the plug-in
 *   read into its 41-byte buffer, terminator included: 41 bytes for 20 flags, so a 21-byte
 *   buffer is overrun. Items 0 to 19 (and 21, read as 4) write one flag character and the
 *   terminator.
 * QRX_TEXT_BUFFER_SIZE: ReadMAC and ReadSSID of UFI stations (at most 63 characters).
 *
 * ReadMSN, ReadPSN16Bit, ReadIntSoftVersion, ReadTestInfo_AT, ReadTestInfo_UFI and
 * ReadIntSoftVersion_UFI hand the host's buffer to the BI plug-in, which writes into it
 * directly: their size is the plug-in's. The simulated plug-ins write at most
 * QRX_SN_BUFFER_SIZE bytes for the first three and QRX_TEST_INFO_BUFFER_SIZE for the others;
 * a host that does not know its plug-in passes QRX_READBACK_BUFFER_SIZE bytes.
 * LTE_ReadPower_CabLoss writes one double. */
#define QRX_READBACK_BUFFER_SIZE 256
#define QRX_SN_BUFFER_SIZE 50
#define QRX_IMEI_BUFFER_SIZE 16
#define QRX_TEST_INFO_BUFFER_SIZE 41
#define QRX_TEXT_BUFFER_SIZE 64

/* Station lifecycle. productType is "QRX" (phones) or "UFI", in any letter case. */
int InitQRXInterface(int threadIndex, const char *configFile, const char *productType);
int CleanUpQRXInterface(void);

/* ---- Log observers ---- */
int RegisterObserver(ILogObserver *observer);
int UnRegisterObserver(ILogObserver *observer);

/* ---- Calibration (calibration test library; cable-loss measurements on it too) ---- */
int Init_TestInterface(void);
int UnInit_TestInterface(void);
int Init_TestDll(void);
int UnInit_TestDll(void);
int Init_DownloadComPort(void);
int UnInit_DownloadComPort(void);
int Init_TestComPort(void);
int UnInit_TestComPort(void);
int Init_TestInstrument(void);
int UnInit_TestInstrument(void);
int Download(void);
int EDGE_TxCal_900(void);
int EDGE_TxCal_1800(void);
int Write_CalData_EDGE(void);
int GSM_TxCal_900(void);
int GSM_TFC_900(void);
int GSM_TxCal_1800(void);
int GSM_TFC_1800(void);
int GSM_RxCal_900(void);
int GSM_RxCal_1800(void);
int Write_CalData_GSM(void);
int Enter_TDTestMode(void);
int Exit_TDTestMode(void);
int TD_AFC_Cal(void);
int TD_APC_Cal_A(void);
int TD_APC_Cal_B(void);
int TD_APC_Cal_C(void);
int TD_AGC_Cal_A(void);
int TD_AGC_Cal_B(void);
int TD_AGC_Cal_C(void);
int TD_RFC_A(void);
int TD_RFC_B(void);
int TD_RFC_C(void);
int TD_TFC_A(void);
int TD_TFC_B(void);
int TD_TFC_C(void);
int Write_CalData_TD(void);
int Enter_GSMTestMode(void);
int GSM_EDGE_FDT(void);
int GSM_WriteFDTEDGETxTable(void);
int GSM_FDT(void);
int GSM_WriteFDTTxTable(void);
int GSM_WriteFDTRxTable(void);
int GSM_UpDateRam(void);
int GSM_NST_EDGEConnect(void);
int GSM_NST_GMSKConnect(void);
int Exit_GSMMode(void);
int Enter_TDFDTMode(void);
int Exit_TDFDTMode(void);
int TD_FDT(void);
int TD_WriteFDTRxTable(void);
int TD_WriteFDTTxTable(void);
int Enter_TDNSTMode(void);
int TD_UpDateRam(void);
int TD_NST_ACLR(void);
int TD_NST_BER(void);
int TD_NST_EVM(void);
int TD_NST_FreqErr(void);
int TD_NST_MaxIn(void);
int TD_NST_OBW(void);
int TD_NST_PCDE(void);
int TD_NST_PVT(void);
int TD_NST_Pwr(void);
int TD_NST_RSCP(void);
int TD_NST_SEM(void);
int FDDLTE_EnterTestMode(void);
int FDDLTE_ExitTestMode(void);
int FDDLTE_TxCal_7(void);
int FDDLTE_RxCal_7(void);
int FDDLTE_TFC_7(void);
int Write_CalData_FDDLTE(void);
int Write_TestInfo_FDDLTE(void);
int TDDLTE_EnterTestMode(void);
int TDDLTE_ExitTestMode(void);
int TDDLTE_AFC_Cal(void);
int TDDLTE_TxCal_38(void);
int TDDLTE_TxCal_39(void);
int TDDLTE_TxCal_40(void);
int TDDLTE_TFC_38(void);
int TDDLTE_TFC_39(void);
int TDDLTE_TFC_40(void);
int TDDLTE_RxCal_38(void);
int TDDLTE_RxCal_39(void);
int TDDLTE_RxCal_40(void);
int Write_CalData_TDDLTE(void);
int Write_TestInfo_TDDLTE(void);
int Check_SN(char *serialNumber);
int LTE_ReadPower_CabLoss(double *power);
int FDDLTE_TxCal_800M(void);
int FDDLTE_RxCal_800M(void);
int FDDLTE_TFC_800M(void);
int TDDLTE_TxCal_14G(void);
int TDDLTE_TxCal_18G(void);
int TDDLTE_TFC_14G(void);
int TDDLTE_TFC_18G(void);
int TDDLTE_RxCal_14G(void);
int TDDLTE_RxCal_18G(void);
int Check_TestInfo(int FTFlag);
int Clear_TestInfo(int nClearType);
int Write_TestInfo_TD(int FTFlag);
int GSM_AFC_Cal(int BandNumber);
int Write_TestInfo_GSM(int FTFlag);
int GSM_NST_MeasEDGEPower(int Band, int Channel, int PALevel);
int GSM_NST_MeasPower(int Band, int Channel, int PALevel);
int GSM_NST_MeasAll(int Band, int Channel, int PALevel, int FreqErr);
int GSM_NST_MeasPowerSensitivity(int Band, int Channel, int PALevel, int FreqErr);
int TD_NST_Connect(int Channel);
int TD_NST_SetChannel(int Channel);
int FDDLTE_AFC_Cal(int flag);
int LTE_SetULFreq_CabLoss(double Freq);
int LTE_SetULExpPower_CabLoss(double Power);

/* ---- GSM final test ---- */
int InitTestInterface_GSMFT(void);
int InitGsmFinalTestData_GSMFT(void);
int InitEdgeFinalTestData_GSMFT(void);
int DeviceRest_GSMFT(void);
int InitSerialPort_GSMFT(void);
int InitMobile_GSMFT(void);
int TurnOnMobile_GSMFT(void);
int QueryMobileEdgeStatus_GSMFT(void);
int MeasPowerSensitivityRxlev_GSMFT(void);
int MeasPowerSensitivity_GSMFT(void);
int MeasPower_GSMFT(void);
int EndConnection_GSMFT(void);
int WriteTestInfo_GSMFT(void);
int EndMoblieTest_GSMFT(void);
int UnInitSerialPort_GSMFT(void);
int UnInitDevice_GSMFT(void);
int UnInitTestInterface_GSMFT(void);
int CheckBarcode_GSMFT(char *serialNumber);
int InitDevice_GSMFT(double SensitivityNumber, int DisplayOn);
int EdgeDeviceConnectConfigBand_GSMFT(int BandNumber);
int CheckTestInfo_GSMFT(int TestStationNum);
int SwitchMobileMode_GSMFT(int nModeValue);
int GetBandChannelLevInfo_GSMFT(int BandNumber, int LevelNumber, int ChannelNumber);
int EdgeDeviceConnectMsBand_GSMFT(int BandNumber);
int EdgeMeasTMABand_GSMFT(int BandNumber);
int EdgeHandoverBand_GSMFT(int SourceBandNumber, int DesBandNumber);
int EdgeEndConnectionBand_GSMFT(int BandNumber);
int GsmDeviceConnectConfigBand_GSMFT(int BandNumber);
int CallToDeviceBand_GSMFT(int BandNumber, int WaitTimeBeforeDial, int RepeatDialTimes,
    int nQuerySignalTimes, int nWaitTimeBeforeQuerySignalStat);
int GsmHandoverBand_GSMFT(int SourceBandNumber, int DesBandNumber);

/* ---- TD final test ---- */
int InitTestInterface_TDFT(void);
int InitTDFinalTestData_TDFT(void);
int DeviceReset_TDFT(void);
int InitSerialPort_TDFT(void);
int InitMobile_TDFT(void);
int CheckTestInfo_TDFT(void);
int RegisterCard_TDFT(void);
int TxCLPC_TDFT(void);
int TxSEM_TDFT(void);
int TxACLR_TDFT(void);
int TxOnOffTmMsk_TDFT(void);
int SwitchChannel_TDFT(void);
int WriteTestInfo_Mobile_TDFT(void);
int EndConnection_TDFT(void);
int UnlnitSerialPort_TDFT(void);
int UnInitDevice_TDFT(void);
int UnInitTestInterface_TDFT(void);
int CheckBarcode_TDAT(char *serialNumber);
int InitDevice_TDFT(double SensitivityNumber, int DisplayOn);
int Mode_Select_TDFT(const char *mode);
int Bs_Config_TDFT(double CellPower, int ChannelNumber);
int SwitchMobileMode_TDFT(int nModeValue);
int EstablishLink_TDFT(int BandNumber, int nQuerySignalTimes, int WaitTimeBeforeDial,
    int RepeatDialTimes, int nWaitTimeBeforeQuerySignalStat);
int GetChannelInfo_TDFT(int ChannelNumber, int ULPower);
int TxMaxPwr_TDFT(int nMaxPowerUpper, int nMaxPowerLower, int nStep);
int TxMinPwr_TDFT(int nMinPowerUpper);
int TxOBW_TDFT(double dbOBWUpper, double dbOBWLower);
int TxFreqStability_TDFT(int nFreqErrorUpper, int nFreqErrorLower);
int TxOffPwr_TDFT(int dbOffPwrUpper);
int TxEVM_TDFT(double dbEVMUpper);
int TxPCDE_TDFT(int dbPCDEUpper);
int RxSens_TDFT(double dbRxSen);
int RxRSCP_TDFT(int nBasePower, int nRSCPPowerUpper, int nRSCPPowerLower);
int RxMaxIn_TDFT(double dbRxMaxIn);

/* ---- LTE final test ---- */
int Init_Instrument_LTEFT(void);
int Init_ComPort_LTEFT(void);
int CheckSerialPortStatus_LTEFT(void);
int CheckTestInfo_LTEFT(void);
int EstablishLink_LTEFT(void);
int LteChan_HandOver_LTEFT(void);
int Lte_EndMeasurement_LTEFT(void);
int WriteFTFlag_LTEFT(void);
int UnInit_ComPort_LTEFT(void);
int UnInit_Instrument_LTEFT(void);
int UnInit_TestInterface_LTEFT(void);
int CheckBarcode_LTEAT(char *serialNumber);
int Init_TestInterface_LTEFT(int TestMode);
int SwitchMobileMode_LTEFT(int nModeValue);
int RegisterCard_LTECP(int RecallTimes, int RecallWait);
int RegisterCard_LTEFT(int SearchPriority, int RecallTimes, int RecallWait);
int LteGet_ChannelNum_LTEFT(int Band, int UpLinkChannel);
int LteBand_HandOver_LTEFT(int Band, int UpLinkChannel);
int LteTest_MinPwr_LTEFT(double LimitMinPwrUpper);
int LteTest_Sensitivity_LTEFT(int IsMaxInput, double BerLimit, double BSMaxInput, double BSRefPower,
    double MSPower);
int LteTest_RSRP_LTEFT(const char *RSRP_Levels, const char *RSRP_Threshold);
int Bs_Config_LTEFT(int Band, int Channel, double MSPower, double BSPower, int Secu, int InstrMode,
    const char *KI, const char *UsimNumber, int BandWidth, int InStrFlag, int IsNormalFre,
    int ISTDD, int DlChanMin, int DlChanMax, int DFrleMin, int UDSeparation, int FddUpChanMin);
int LteTest_MaxPwrAll_LTEFT(double MaxPwrLmtUpp, double MaxPwrLmtLow, int FreqErrorLimit,
    int OBWLimit, int LteModulation, const char *TestRBsList, int SkipMaxPwr, int SkipEvm,
    int SkipPcde, int SkipFer, int SkipAclr, int SkipSem, int SkipObw, double EVMLimitQPSK,
    double EVMLimit16QAM, double ACLRLimitEUTRA, double ACLRLimitUTRA1, double ACLRLimitUTRA2);

/* ---- WiFi calibration and final test of UFI devices (WiFi test library) ---- */
int Init_TestInterface_Ufi(void);
int WiFi_EnterTestMode_Ufi(void);
int Init_NetPort_Ufi(void);
int WiFi_TxFreqCal_Ufi(void);
int WiFi_TxPwrCal_Ufi(void);
int Wifi_WriteCalFlag_Ufi(void);
int WiFi_SetCableLoss_Config_Ufi(void);
int WiFi_TxMeas_Result_Ufi(void);
int WiFi_RXSensitivity_Result_Ufi(void);
int Wifi_WriteFTFlag_Ufi(void);
int UnInit_NetPort_Ufi(void);
int WiFi_QuitTestMode_Ufi(void);
int UnInit_Instrument_Ufi(void);
int UnInit_TestInterface_Ufi(void);
int Init_Instrument_Ufi(int CHIPTYPE);
int WiFi_Config_RFPortNum_Ufi(int RFPORTNUM);
int WiFi_Config_Mode_Ufi(int MODE);
int WiFi_Config_MCS_Ufi(int MCS);
int WiFi_Config_Channel_Ufi(int CHANNEL);
int WiFi_VSAConfig_Ufi(int SWITCH, int BANDWIDTH);
int WiFi_VSGSensitivityConfig_Ufi(int RXSWITCH, int RXBANDWIDTH);
int ReadBarcode_Ufi(char *barcode, int BOARDNUMLENTH);

/* ---- Identity programming and cable-loss transmitter control (serial-number manager) ---- */
int TDDLTE_TxInit_CabLoss(int v1, int v2, int v3, int v4, int v5, int v6, int v7, int v8);
int TDDLTE_TxClose_CabLoss(void);
int FDDLTE_TxInit_CabLoss(int v1, int v2, int v3, int v4, int v5, int v6, int v7, int v8);
int FDDLTE_TxClose_CabLoss(void);
int Init_TestDLL_SN(void);
int OpenPort(int port, int rate);
int ClosePort(void);
int WriteSN(const char *text, int extra);
int ReadSN(char *out, int extra);
int WriteMSN(const char *text, int extra);
int ReadMSN(char *out, int extra);
int WriteIMEI(const char *text, int extra);
int ReadIMEI(char *out, int extra);
int WritePSN16Bit(const char *text, int extra);
int ReadPSN16Bit(char *out, int extra);
int ReadIntSoftVersion(char *out, int extra);
int ReadTestInfo(int item, char *out);
int ReadTestInfo_AT(int item, char *out);
int WriteFTFlag18G_LTEFT(void);
int WriteMAC(const char *mac);
int ReadMAC(char *out);
int WriteSSID(void);
int ReadSSID(char *out);
int ReadTestInfo_UFI(char *out);
int ReadIntSoftVersion_UFI(char *out);

/* ---- Image download (download manager) ---- */
int Init_TestDll_DL(void);
int StartDownloadImage(const char *imagePath, int option, QRXDownloadCallback callback,
    const char *secondImagePath, int extra1, int extra2, const char *extraText);
int StopDoadloadImage(void);

#ifdef __cplusplus
}
#endif

#endif
