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

#include <qrx/calling_convention.h>
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
int QRX_CALL InitQRXInterface(int threadIndex, const char *configFile, const char *productType);
int QRX_CALL CleanUpQRXInterface(void);

/* ---- Log observers ---- */
int QRX_CALL RegisterObserver(ILogObserver *observer);
int QRX_CALL UnRegisterObserver(ILogObserver *observer);

/* ---- Calibration (calibration test library; cable-loss measurements on it too) ---- */
int QRX_CALL Init_TestInterface(void);
int QRX_CALL UnInit_TestInterface(void);
int QRX_CALL Init_TestDll(void);
int QRX_CALL UnInit_TestDll(void);
int QRX_CALL Init_DownloadComPort(void);
int QRX_CALL UnInit_DownloadComPort(void);
int QRX_CALL Init_TestComPort(void);
int QRX_CALL UnInit_TestComPort(void);
int QRX_CALL Init_TestInstrument(void);
int QRX_CALL UnInit_TestInstrument(void);
int QRX_CALL Download(void);
int QRX_CALL EDGE_TxCal_900(void);
int QRX_CALL EDGE_TxCal_1800(void);
int QRX_CALL Write_CalData_EDGE(void);
int QRX_CALL GSM_TxCal_900(void);
int QRX_CALL GSM_TFC_900(void);
int QRX_CALL GSM_TxCal_1800(void);
int QRX_CALL GSM_TFC_1800(void);
int QRX_CALL GSM_RxCal_900(void);
int QRX_CALL GSM_RxCal_1800(void);
int QRX_CALL Write_CalData_GSM(void);
int QRX_CALL Enter_TDTestMode(void);
int QRX_CALL Exit_TDTestMode(void);
int QRX_CALL TD_AFC_Cal(void);
int QRX_CALL TD_APC_Cal_A(void);
int QRX_CALL TD_APC_Cal_B(void);
int QRX_CALL TD_APC_Cal_C(void);
int QRX_CALL TD_AGC_Cal_A(void);
int QRX_CALL TD_AGC_Cal_B(void);
int QRX_CALL TD_AGC_Cal_C(void);
int QRX_CALL TD_RFC_A(void);
int QRX_CALL TD_RFC_B(void);
int QRX_CALL TD_RFC_C(void);
int QRX_CALL TD_TFC_A(void);
int QRX_CALL TD_TFC_B(void);
int QRX_CALL TD_TFC_C(void);
int QRX_CALL Write_CalData_TD(void);
int QRX_CALL Enter_GSMTestMode(void);
int QRX_CALL GSM_EDGE_FDT(void);
int QRX_CALL GSM_WriteFDTEDGETxTable(void);
int QRX_CALL GSM_FDT(void);
int QRX_CALL GSM_WriteFDTTxTable(void);
int QRX_CALL GSM_WriteFDTRxTable(void);
int QRX_CALL GSM_UpDateRam(void);
int QRX_CALL GSM_NST_EDGEConnect(void);
int QRX_CALL GSM_NST_GMSKConnect(void);
int QRX_CALL Exit_GSMMode(void);
int QRX_CALL Enter_TDFDTMode(void);
int QRX_CALL Exit_TDFDTMode(void);
int QRX_CALL TD_FDT(void);
int QRX_CALL TD_WriteFDTRxTable(void);
int QRX_CALL TD_WriteFDTTxTable(void);
int QRX_CALL Enter_TDNSTMode(void);
int QRX_CALL TD_UpDateRam(void);
int QRX_CALL TD_NST_ACLR(void);
int QRX_CALL TD_NST_BER(void);
int QRX_CALL TD_NST_EVM(void);
int QRX_CALL TD_NST_FreqErr(void);
int QRX_CALL TD_NST_MaxIn(void);
int QRX_CALL TD_NST_OBW(void);
int QRX_CALL TD_NST_PCDE(void);
int QRX_CALL TD_NST_PVT(void);
int QRX_CALL TD_NST_Pwr(void);
int QRX_CALL TD_NST_RSCP(void);
int QRX_CALL TD_NST_SEM(void);
int QRX_CALL FDDLTE_EnterTestMode(void);
int QRX_CALL FDDLTE_ExitTestMode(void);
int QRX_CALL FDDLTE_TxCal_7(void);
int QRX_CALL FDDLTE_RxCal_7(void);
int QRX_CALL FDDLTE_TFC_7(void);
int QRX_CALL Write_CalData_FDDLTE(void);
int QRX_CALL Write_TestInfo_FDDLTE(void);
int QRX_CALL TDDLTE_EnterTestMode(void);
int QRX_CALL TDDLTE_ExitTestMode(void);
int QRX_CALL TDDLTE_AFC_Cal(void);
int QRX_CALL TDDLTE_TxCal_38(void);
int QRX_CALL TDDLTE_TxCal_39(void);
int QRX_CALL TDDLTE_TxCal_40(void);
int QRX_CALL TDDLTE_TFC_38(void);
int QRX_CALL TDDLTE_TFC_39(void);
int QRX_CALL TDDLTE_TFC_40(void);
int QRX_CALL TDDLTE_RxCal_38(void);
int QRX_CALL TDDLTE_RxCal_39(void);
int QRX_CALL TDDLTE_RxCal_40(void);
int QRX_CALL Write_CalData_TDDLTE(void);
int QRX_CALL Write_TestInfo_TDDLTE(void);
int QRX_CALL Check_SN(char *serialNumber);
int QRX_CALL LTE_ReadPower_CabLoss(double *power);
int QRX_CALL FDDLTE_TxCal_800M(void);
int QRX_CALL FDDLTE_RxCal_800M(void);
int QRX_CALL FDDLTE_TFC_800M(void);
int QRX_CALL TDDLTE_TxCal_14G(void);
int QRX_CALL TDDLTE_TxCal_18G(void);
int QRX_CALL TDDLTE_TFC_14G(void);
int QRX_CALL TDDLTE_TFC_18G(void);
int QRX_CALL TDDLTE_RxCal_14G(void);
int QRX_CALL TDDLTE_RxCal_18G(void);
int QRX_CALL Check_TestInfo(int FTFlag);
int QRX_CALL Clear_TestInfo(int nClearType);
int QRX_CALL Write_TestInfo_TD(int FTFlag);
int QRX_CALL GSM_AFC_Cal(int BandNumber);
int QRX_CALL Write_TestInfo_GSM(int FTFlag);
int QRX_CALL GSM_NST_MeasEDGEPower(int Band, int Channel, int PALevel);
int QRX_CALL GSM_NST_MeasPower(int Band, int Channel, int PALevel);
int QRX_CALL GSM_NST_MeasAll(int Band, int Channel, int PALevel, int FreqErr);
int QRX_CALL GSM_NST_MeasPowerSensitivity(int Band, int Channel, int PALevel, int FreqErr);
int QRX_CALL TD_NST_Connect(int Channel);
int QRX_CALL TD_NST_SetChannel(int Channel);
int QRX_CALL FDDLTE_AFC_Cal(int flag);
int QRX_CALL LTE_SetULFreq_CabLoss(double Freq);
int QRX_CALL LTE_SetULExpPower_CabLoss(double Power);

/* ---- GSM final test ---- */
int QRX_CALL InitTestInterface_GSMFT(void);
int QRX_CALL InitGsmFinalTestData_GSMFT(void);
int QRX_CALL InitEdgeFinalTestData_GSMFT(void);
int QRX_CALL DeviceRest_GSMFT(void);
int QRX_CALL InitSerialPort_GSMFT(void);
int QRX_CALL InitMobile_GSMFT(void);
int QRX_CALL TurnOnMobile_GSMFT(void);
int QRX_CALL QueryMobileEdgeStatus_GSMFT(void);
int QRX_CALL MeasPowerSensitivityRxlev_GSMFT(void);
int QRX_CALL MeasPowerSensitivity_GSMFT(void);
int QRX_CALL MeasPower_GSMFT(void);
int QRX_CALL EndConnection_GSMFT(void);
int QRX_CALL WriteTestInfo_GSMFT(void);
int QRX_CALL EndMoblieTest_GSMFT(void);
int QRX_CALL UnInitSerialPort_GSMFT(void);
int QRX_CALL UnInitDevice_GSMFT(void);
int QRX_CALL UnInitTestInterface_GSMFT(void);
int QRX_CALL CheckBarcode_GSMFT(char *serialNumber);
int QRX_CALL InitDevice_GSMFT(double SensitivityNumber, int DisplayOn);
int QRX_CALL EdgeDeviceConnectConfigBand_GSMFT(int BandNumber);
int QRX_CALL CheckTestInfo_GSMFT(int TestStationNum);
int QRX_CALL SwitchMobileMode_GSMFT(int nModeValue);
int QRX_CALL GetBandChannelLevInfo_GSMFT(int BandNumber, int LevelNumber, int ChannelNumber);
int QRX_CALL EdgeDeviceConnectMsBand_GSMFT(int BandNumber);
int QRX_CALL EdgeMeasTMABand_GSMFT(int BandNumber);
int QRX_CALL EdgeHandoverBand_GSMFT(int SourceBandNumber, int DesBandNumber);
int QRX_CALL EdgeEndConnectionBand_GSMFT(int BandNumber);
int QRX_CALL GsmDeviceConnectConfigBand_GSMFT(int BandNumber);
int QRX_CALL CallToDeviceBand_GSMFT(int BandNumber, int WaitTimeBeforeDial, int RepeatDialTimes,
    int nQuerySignalTimes, int nWaitTimeBeforeQuerySignalStat);
int QRX_CALL GsmHandoverBand_GSMFT(int SourceBandNumber, int DesBandNumber);

/* ---- TD final test ---- */
int QRX_CALL InitTestInterface_TDFT(void);
int QRX_CALL InitTDFinalTestData_TDFT(void);
int QRX_CALL DeviceReset_TDFT(void);
int QRX_CALL InitSerialPort_TDFT(void);
int QRX_CALL InitMobile_TDFT(void);
int QRX_CALL CheckTestInfo_TDFT(void);
int QRX_CALL RegisterCard_TDFT(void);
int QRX_CALL TxCLPC_TDFT(void);
int QRX_CALL TxSEM_TDFT(void);
int QRX_CALL TxACLR_TDFT(void);
int QRX_CALL TxOnOffTmMsk_TDFT(void);
int QRX_CALL SwitchChannel_TDFT(void);
int QRX_CALL WriteTestInfo_Mobile_TDFT(void);
int QRX_CALL EndConnection_TDFT(void);
int QRX_CALL UnlnitSerialPort_TDFT(void);
int QRX_CALL UnInitDevice_TDFT(void);
int QRX_CALL UnInitTestInterface_TDFT(void);
int QRX_CALL CheckBarcode_TDAT(char *serialNumber);
int QRX_CALL InitDevice_TDFT(double SensitivityNumber, int DisplayOn);
int QRX_CALL Mode_Select_TDFT(const char *mode);
int QRX_CALL Bs_Config_TDFT(double CellPower, int ChannelNumber);
int QRX_CALL SwitchMobileMode_TDFT(int nModeValue);
int QRX_CALL EstablishLink_TDFT(int BandNumber, int nQuerySignalTimes, int WaitTimeBeforeDial,
    int RepeatDialTimes, int nWaitTimeBeforeQuerySignalStat);
int QRX_CALL GetChannelInfo_TDFT(int ChannelNumber, int ULPower);
int QRX_CALL TxMaxPwr_TDFT(int nMaxPowerUpper, int nMaxPowerLower, int nStep);
int QRX_CALL TxMinPwr_TDFT(int nMinPowerUpper);
int QRX_CALL TxOBW_TDFT(double dbOBWUpper, double dbOBWLower);
int QRX_CALL TxFreqStability_TDFT(int nFreqErrorUpper, int nFreqErrorLower);
int QRX_CALL TxOffPwr_TDFT(int dbOffPwrUpper);
int QRX_CALL TxEVM_TDFT(double dbEVMUpper);
int QRX_CALL TxPCDE_TDFT(int dbPCDEUpper);
int QRX_CALL RxSens_TDFT(double dbRxSen);
int QRX_CALL RxRSCP_TDFT(int nBasePower, int nRSCPPowerUpper, int nRSCPPowerLower);
int QRX_CALL RxMaxIn_TDFT(double dbRxMaxIn);

/* ---- LTE final test ---- */
int QRX_CALL Init_Instrument_LTEFT(void);
int QRX_CALL Init_ComPort_LTEFT(void);
int QRX_CALL CheckSerialPortStatus_LTEFT(void);
int QRX_CALL CheckTestInfo_LTEFT(void);
int QRX_CALL EstablishLink_LTEFT(void);
int QRX_CALL LteChan_HandOver_LTEFT(void);
int QRX_CALL Lte_EndMeasurement_LTEFT(void);
int QRX_CALL WriteFTFlag_LTEFT(void);
int QRX_CALL UnInit_ComPort_LTEFT(void);
int QRX_CALL UnInit_Instrument_LTEFT(void);
int QRX_CALL UnInit_TestInterface_LTEFT(void);
int QRX_CALL CheckBarcode_LTEAT(char *serialNumber);
int QRX_CALL Init_TestInterface_LTEFT(int TestMode);
int QRX_CALL SwitchMobileMode_LTEFT(int nModeValue);
int QRX_CALL RegisterCard_LTECP(int RecallTimes, int RecallWait);
int QRX_CALL RegisterCard_LTEFT(int SearchPriority, int RecallTimes, int RecallWait);
int QRX_CALL LteGet_ChannelNum_LTEFT(int Band, int UpLinkChannel);
int QRX_CALL LteBand_HandOver_LTEFT(int Band, int UpLinkChannel);
int QRX_CALL LteTest_MinPwr_LTEFT(double LimitMinPwrUpper);
int QRX_CALL LteTest_Sensitivity_LTEFT(int IsMaxInput, double BerLimit, double BSMaxInput, double BSRefPower,
    double MSPower);
int QRX_CALL LteTest_RSRP_LTEFT(const char *RSRP_Levels, const char *RSRP_Threshold);
int QRX_CALL Bs_Config_LTEFT(int Band, int Channel, double MSPower, double BSPower, int Secu, int InstrMode,
    const char *KI, const char *UsimNumber, int BandWidth, int InStrFlag, int IsNormalFre,
    int ISTDD, int DlChanMin, int DlChanMax, int DFrleMin, int UDSeparation, int FddUpChanMin);
int QRX_CALL LteTest_MaxPwrAll_LTEFT(double MaxPwrLmtUpp, double MaxPwrLmtLow, int FreqErrorLimit,
    int OBWLimit, int LteModulation, const char *TestRBsList, int SkipMaxPwr, int SkipEvm,
    int SkipPcde, int SkipFer, int SkipAclr, int SkipSem, int SkipObw, double EVMLimitQPSK,
    double EVMLimit16QAM, double ACLRLimitEUTRA, double ACLRLimitUTRA1, double ACLRLimitUTRA2);

/* ---- WiFi calibration and final test of UFI devices (WiFi test library) ---- */
int QRX_CALL Init_TestInterface_Ufi(void);
int QRX_CALL WiFi_EnterTestMode_Ufi(void);
int QRX_CALL Init_NetPort_Ufi(void);
int QRX_CALL WiFi_TxFreqCal_Ufi(void);
int QRX_CALL WiFi_TxPwrCal_Ufi(void);
int QRX_CALL Wifi_WriteCalFlag_Ufi(void);
int QRX_CALL WiFi_SetCableLoss_Config_Ufi(void);
int QRX_CALL WiFi_TxMeas_Result_Ufi(void);
int QRX_CALL WiFi_RXSensitivity_Result_Ufi(void);
int QRX_CALL Wifi_WriteFTFlag_Ufi(void);
int QRX_CALL UnInit_NetPort_Ufi(void);
int QRX_CALL WiFi_QuitTestMode_Ufi(void);
int QRX_CALL UnInit_Instrument_Ufi(void);
int QRX_CALL UnInit_TestInterface_Ufi(void);
int QRX_CALL Init_Instrument_Ufi(int CHIPTYPE);
int QRX_CALL WiFi_Config_RFPortNum_Ufi(int RFPORTNUM);
int QRX_CALL WiFi_Config_Mode_Ufi(int MODE);
int QRX_CALL WiFi_Config_MCS_Ufi(int MCS);
int QRX_CALL WiFi_Config_Channel_Ufi(int CHANNEL);
int QRX_CALL WiFi_VSAConfig_Ufi(int SWITCH, int BANDWIDTH);
int QRX_CALL WiFi_VSGSensitivityConfig_Ufi(int RXSWITCH, int RXBANDWIDTH);
int QRX_CALL ReadBarcode_Ufi(char *barcode, int BOARDNUMLENTH);

/* ---- Identity programming and cable-loss transmitter control (serial-number manager) ---- */
int QRX_CALL TDDLTE_TxInit_CabLoss(int v1, int v2, int v3, int v4, int v5, int v6, int v7, int v8);
int QRX_CALL TDDLTE_TxClose_CabLoss(void);
int QRX_CALL FDDLTE_TxInit_CabLoss(int v1, int v2, int v3, int v4, int v5, int v6, int v7, int v8);
int QRX_CALL FDDLTE_TxClose_CabLoss(void);
int QRX_CALL Init_TestDLL_SN(void);
int QRX_CALL OpenPort(int port, int rate);
int QRX_CALL ClosePort(void);
int QRX_CALL WriteSN(const char *text, int extra);
int QRX_CALL ReadSN(char *out, int extra);
int QRX_CALL WriteMSN(const char *text, int extra);
int QRX_CALL ReadMSN(char *out, int extra);
int QRX_CALL WriteIMEI(const char *text, int extra);
int QRX_CALL ReadIMEI(char *out, int extra);
int QRX_CALL WritePSN16Bit(const char *text, int extra);
int QRX_CALL ReadPSN16Bit(char *out, int extra);
int QRX_CALL ReadIntSoftVersion(char *out, int extra);
int QRX_CALL ReadTestInfo(int item, char *out);
int QRX_CALL ReadTestInfo_AT(int item, char *out);
int QRX_CALL WriteFTFlag18G_LTEFT(void);
int QRX_CALL WriteMAC(const char *mac);
int QRX_CALL ReadMAC(char *out);
int QRX_CALL WriteSSID(void);
int QRX_CALL ReadSSID(char *out);
int QRX_CALL ReadTestInfo_UFI(char *out);
int QRX_CALL ReadIntSoftVersion_UFI(char *out);

/* ---- Image download (download manager) ---- */
int QRX_CALL Init_TestDll_DL(void);
int QRX_CALL StartDownloadImage(const char *imagePath, int option, QRXDownloadCallback callback,
    const char *secondImagePath, int extra1, int extra2, const char *extraText);
int QRX_CALL StopDoadloadImage(void);

#ifdef __cplusplus
}
#endif

#endif
