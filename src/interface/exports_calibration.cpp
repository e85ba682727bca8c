// Calibration and cable-loss measurement exports: each forwards to the calibration test
// library through its catalogue row.
#include "interface/export_forwarder.h"
#include "interface/export_macros.h"

#include <qrx/qrx_interface.h>

QRX_EXPORT int Init_TestInterface(void) {
  return qrx::ForwardExport<"Init_TestInterface">();
}

QRX_EXPORT int UnInit_TestInterface(void) {
  return qrx::ForwardExport<"UnInit_TestInterface">();
}

QRX_EXPORT int Init_TestDll(void) {
  return qrx::ForwardExport<"Init_TestDll">();
}

QRX_EXPORT int UnInit_TestDll(void) {
  return qrx::ForwardExport<"UnInit_TestDll">();
}

QRX_EXPORT int Init_DownloadComPort(void) {
  return qrx::ForwardExport<"Init_DownloadComPort">();
}

QRX_EXPORT int UnInit_DownloadComPort(void) {
  return qrx::ForwardExport<"UnInit_DownloadComPort">();
}

QRX_EXPORT int Init_TestComPort(void) {
  return qrx::ForwardExport<"Init_TestComPort">();
}

QRX_EXPORT int UnInit_TestComPort(void) {
  return qrx::ForwardExport<"UnInit_TestComPort">();
}

QRX_EXPORT int Init_TestInstrument(void) {
  return qrx::ForwardExport<"Init_TestInstrument">();
}

QRX_EXPORT int UnInit_TestInstrument(void) {
  return qrx::ForwardExport<"UnInit_TestInstrument">();
}

QRX_EXPORT int Download(void) {
  return qrx::ForwardExport<"Download">();
}

QRX_EXPORT int EDGE_TxCal_900(void) {
  return qrx::ForwardExport<"EDGE_TxCal_900">();
}

QRX_EXPORT int EDGE_TxCal_1800(void) {
  return qrx::ForwardExport<"EDGE_TxCal_1800">();
}

QRX_EXPORT int Write_CalData_EDGE(void) {
  return qrx::ForwardExport<"Write_CalData_EDGE">();
}

QRX_EXPORT int GSM_TxCal_900(void) {
  return qrx::ForwardExport<"GSM_TxCal_900">();
}

QRX_EXPORT int GSM_TFC_900(void) {
  return qrx::ForwardExport<"GSM_TFC_900">();
}

QRX_EXPORT int GSM_TxCal_1800(void) {
  return qrx::ForwardExport<"GSM_TxCal_1800">();
}

QRX_EXPORT int GSM_TFC_1800(void) {
  return qrx::ForwardExport<"GSM_TFC_1800">();
}

QRX_EXPORT int GSM_RxCal_900(void) {
  return qrx::ForwardExport<"GSM_RxCal_900">();
}

QRX_EXPORT int GSM_RxCal_1800(void) {
  return qrx::ForwardExport<"GSM_RxCal_1800">();
}

QRX_EXPORT int Write_CalData_GSM(void) {
  return qrx::ForwardExport<"Write_CalData_GSM">();
}

QRX_EXPORT int Enter_TDTestMode(void) {
  return qrx::ForwardExport<"Enter_TDTestMode">();
}

QRX_EXPORT int Exit_TDTestMode(void) {
  return qrx::ForwardExport<"Exit_TDTestMode">();
}

QRX_EXPORT int TD_AFC_Cal(void) {
  return qrx::ForwardExport<"TD_AFC_Cal">();
}

QRX_EXPORT int TD_APC_Cal_A(void) {
  return qrx::ForwardExport<"TD_APC_Cal_A">();
}

QRX_EXPORT int TD_APC_Cal_B(void) {
  return qrx::ForwardExport<"TD_APC_Cal_B">();
}

QRX_EXPORT int TD_APC_Cal_C(void) {
  return qrx::ForwardExport<"TD_APC_Cal_C">();
}

QRX_EXPORT int TD_AGC_Cal_A(void) {
  return qrx::ForwardExport<"TD_AGC_Cal_A">();
}

QRX_EXPORT int TD_AGC_Cal_B(void) {
  return qrx::ForwardExport<"TD_AGC_Cal_B">();
}

QRX_EXPORT int TD_AGC_Cal_C(void) {
  return qrx::ForwardExport<"TD_AGC_Cal_C">();
}

QRX_EXPORT int TD_RFC_A(void) {
  return qrx::ForwardExport<"TD_RFC_A">();
}

QRX_EXPORT int TD_RFC_B(void) {
  return qrx::ForwardExport<"TD_RFC_B">();
}

QRX_EXPORT int TD_RFC_C(void) {
  return qrx::ForwardExport<"TD_RFC_C">();
}

QRX_EXPORT int TD_TFC_A(void) {
  return qrx::ForwardExport<"TD_TFC_A">();
}

QRX_EXPORT int TD_TFC_B(void) {
  return qrx::ForwardExport<"TD_TFC_B">();
}

QRX_EXPORT int TD_TFC_C(void) {
  return qrx::ForwardExport<"TD_TFC_C">();
}

QRX_EXPORT int Write_CalData_TD(void) {
  return qrx::ForwardExport<"Write_CalData_TD">();
}

QRX_EXPORT int Enter_GSMTestMode(void) {
  return qrx::ForwardExport<"Enter_GSMTestMode">();
}

QRX_EXPORT int GSM_EDGE_FDT(void) {
  return qrx::ForwardExport<"GSM_EDGE_FDT">();
}

QRX_EXPORT int GSM_WriteFDTEDGETxTable(void) {
  return qrx::ForwardExport<"GSM_WriteFDTEDGETxTable">();
}

QRX_EXPORT int GSM_FDT(void) {
  return qrx::ForwardExport<"GSM_FDT">();
}

QRX_EXPORT int GSM_WriteFDTTxTable(void) {
  return qrx::ForwardExport<"GSM_WriteFDTTxTable">();
}

QRX_EXPORT int GSM_WriteFDTRxTable(void) {
  return qrx::ForwardExport<"GSM_WriteFDTRxTable">();
}

QRX_EXPORT int GSM_UpDateRam(void) {
  return qrx::ForwardExport<"GSM_UpDateRam">();
}

QRX_EXPORT int GSM_NST_EDGEConnect(void) {
  return qrx::ForwardExport<"GSM_NST_EDGEConnect">();
}

QRX_EXPORT int GSM_NST_GMSKConnect(void) {
  return qrx::ForwardExport<"GSM_NST_GMSKConnect">();
}

QRX_EXPORT int Exit_GSMMode(void) {
  return qrx::ForwardExport<"Exit_GSMMode">();
}

QRX_EXPORT int Enter_TDFDTMode(void) {
  return qrx::ForwardExport<"Enter_TDFDTMode">();
}

QRX_EXPORT int Exit_TDFDTMode(void) {
  return qrx::ForwardExport<"Exit_TDFDTMode">();
}

QRX_EXPORT int TD_FDT(void) {
  return qrx::ForwardExport<"TD_FDT">();
}

QRX_EXPORT int TD_WriteFDTRxTable(void) {
  return qrx::ForwardExport<"TD_WriteFDTRxTable">();
}

QRX_EXPORT int TD_WriteFDTTxTable(void) {
  return qrx::ForwardExport<"TD_WriteFDTTxTable">();
}

QRX_EXPORT int Enter_TDNSTMode(void) {
  return qrx::ForwardExport<"Enter_TDNSTMode">();
}

QRX_EXPORT int TD_UpDateRam(void) {
  return qrx::ForwardExport<"TD_UpDateRam">();
}

QRX_EXPORT int TD_NST_ACLR(void) {
  return qrx::ForwardExport<"TD_NST_ACLR">();
}

QRX_EXPORT int TD_NST_BER(void) {
  return qrx::ForwardExport<"TD_NST_BER">();
}

QRX_EXPORT int TD_NST_EVM(void) {
  return qrx::ForwardExport<"TD_NST_EVM">();
}

QRX_EXPORT int TD_NST_FreqErr(void) {
  return qrx::ForwardExport<"TD_NST_FreqErr">();
}

QRX_EXPORT int TD_NST_MaxIn(void) {
  return qrx::ForwardExport<"TD_NST_MaxIn">();
}

QRX_EXPORT int TD_NST_OBW(void) {
  return qrx::ForwardExport<"TD_NST_OBW">();
}

QRX_EXPORT int TD_NST_PCDE(void) {
  return qrx::ForwardExport<"TD_NST_PCDE">();
}

QRX_EXPORT int TD_NST_PVT(void) {
  return qrx::ForwardExport<"TD_NST_PVT">();
}

QRX_EXPORT int TD_NST_Pwr(void) {
  return qrx::ForwardExport<"TD_NST_Pwr">();
}

QRX_EXPORT int TD_NST_RSCP(void) {
  return qrx::ForwardExport<"TD_NST_RSCP">();
}

QRX_EXPORT int TD_NST_SEM(void) {
  return qrx::ForwardExport<"TD_NST_SEM">();
}

QRX_EXPORT int FDDLTE_EnterTestMode(void) {
  return qrx::ForwardExport<"FDDLTE_EnterTestMode">();
}

QRX_EXPORT int FDDLTE_ExitTestMode(void) {
  return qrx::ForwardExport<"FDDLTE_ExitTestMode">();
}

QRX_EXPORT int FDDLTE_TxCal_7(void) {
  return qrx::ForwardExport<"FDDLTE_TxCal_7">();
}

QRX_EXPORT int FDDLTE_RxCal_7(void) {
  return qrx::ForwardExport<"FDDLTE_RxCal_7">();
}

QRX_EXPORT int FDDLTE_TFC_7(void) {
  return qrx::ForwardExport<"FDDLTE_TFC_7">();
}

QRX_EXPORT int Write_CalData_FDDLTE(void) {
  return qrx::ForwardExport<"Write_CalData_FDDLTE">();
}

QRX_EXPORT int Write_TestInfo_FDDLTE(void) {
  return qrx::ForwardExport<"Write_TestInfo_FDDLTE">();
}

QRX_EXPORT int TDDLTE_EnterTestMode(void) {
  return qrx::ForwardExport<"TDDLTE_EnterTestMode">();
}

QRX_EXPORT int TDDLTE_ExitTestMode(void) {
  return qrx::ForwardExport<"TDDLTE_ExitTestMode">();
}

QRX_EXPORT int TDDLTE_AFC_Cal(void) {
  return qrx::ForwardExport<"TDDLTE_AFC_Cal">();
}

QRX_EXPORT int TDDLTE_TxCal_38(void) {
  return qrx::ForwardExport<"TDDLTE_TxCal_38">();
}

QRX_EXPORT int TDDLTE_TxCal_39(void) {
  return qrx::ForwardExport<"TDDLTE_TxCal_39">();
}

QRX_EXPORT int TDDLTE_TxCal_40(void) {
  return qrx::ForwardExport<"TDDLTE_TxCal_40">();
}

QRX_EXPORT int TDDLTE_TFC_38(void) {
  return qrx::ForwardExport<"TDDLTE_TFC_38">();
}

QRX_EXPORT int TDDLTE_TFC_39(void) {
  return qrx::ForwardExport<"TDDLTE_TFC_39">();
}

QRX_EXPORT int TDDLTE_TFC_40(void) {
  return qrx::ForwardExport<"TDDLTE_TFC_40">();
}

QRX_EXPORT int TDDLTE_RxCal_38(void) {
  return qrx::ForwardExport<"TDDLTE_RxCal_38">();
}

QRX_EXPORT int TDDLTE_RxCal_39(void) {
  return qrx::ForwardExport<"TDDLTE_RxCal_39">();
}

QRX_EXPORT int TDDLTE_RxCal_40(void) {
  return qrx::ForwardExport<"TDDLTE_RxCal_40">();
}

QRX_EXPORT int Write_CalData_TDDLTE(void) {
  return qrx::ForwardExport<"Write_CalData_TDDLTE">();
}

QRX_EXPORT int Write_TestInfo_TDDLTE(void) {
  return qrx::ForwardExport<"Write_TestInfo_TDDLTE">();
}

QRX_EXPORT int Check_SN(char *serialNumber) {
  return qrx::ForwardExport<"Check_SN">(serialNumber);
}

QRX_EXPORT int LTE_ReadPower_CabLoss(double *power) {
  return qrx::ForwardExport<"LTE_ReadPower_CabLoss">(power);
}

QRX_EXPORT int FDDLTE_TxCal_800M(void) {
  return qrx::ForwardExport<"FDDLTE_TxCal_800M">();
}

QRX_EXPORT int FDDLTE_RxCal_800M(void) {
  return qrx::ForwardExport<"FDDLTE_RxCal_800M">();
}

QRX_EXPORT int FDDLTE_TFC_800M(void) {
  return qrx::ForwardExport<"FDDLTE_TFC_800M">();
}

QRX_EXPORT int TDDLTE_TxCal_14G(void) {
  return qrx::ForwardExport<"TDDLTE_TxCal_14G">();
}

QRX_EXPORT int TDDLTE_TxCal_18G(void) {
  return qrx::ForwardExport<"TDDLTE_TxCal_18G">();
}

QRX_EXPORT int TDDLTE_TFC_14G(void) {
  return qrx::ForwardExport<"TDDLTE_TFC_14G">();
}

QRX_EXPORT int TDDLTE_TFC_18G(void) {
  return qrx::ForwardExport<"TDDLTE_TFC_18G">();
}

QRX_EXPORT int TDDLTE_RxCal_14G(void) {
  return qrx::ForwardExport<"TDDLTE_RxCal_14G">();
}

QRX_EXPORT int TDDLTE_RxCal_18G(void) {
  return qrx::ForwardExport<"TDDLTE_RxCal_18G">();
}

QRX_EXPORT int Check_TestInfo(int FTFlag) {
  return qrx::ForwardExport<"Check_TestInfo">(FTFlag);
}

QRX_EXPORT int Clear_TestInfo(int nClearType) {
  return qrx::ForwardExport<"Clear_TestInfo">(nClearType);
}

QRX_EXPORT int Write_TestInfo_TD(int FTFlag) {
  return qrx::ForwardExport<"Write_TestInfo_TD">(FTFlag);
}

QRX_EXPORT int GSM_AFC_Cal(int BandNumber) {
  return qrx::ForwardExport<"GSM_AFC_Cal">(BandNumber);
}

QRX_EXPORT int Write_TestInfo_GSM(int FTFlag) {
  return qrx::ForwardExport<"Write_TestInfo_GSM">(FTFlag);
}

QRX_EXPORT int GSM_NST_MeasEDGEPower(int Band, int Channel, int PALevel) {
  return qrx::ForwardExport<"GSM_NST_MeasEDGEPower">(Band, Channel, PALevel);
}

QRX_EXPORT int GSM_NST_MeasPower(int Band, int Channel, int PALevel) {
  return qrx::ForwardExport<"GSM_NST_MeasPower">(Band, Channel, PALevel);
}

QRX_EXPORT int GSM_NST_MeasAll(int Band, int Channel, int PALevel, int FreqErr) {
  return qrx::ForwardExport<"GSM_NST_MeasAll">(Band, Channel, PALevel, FreqErr);
}

QRX_EXPORT int GSM_NST_MeasPowerSensitivity(int Band, int Channel, int PALevel, int FreqErr) {
  return qrx::ForwardExport<"GSM_NST_MeasPowerSensitivity">(Band, Channel, PALevel, FreqErr);
}

QRX_EXPORT int TD_NST_Connect(int Channel) {
  return qrx::ForwardExport<"TD_NST_Connect">(Channel);
}

QRX_EXPORT int TD_NST_SetChannel(int Channel) {
  return qrx::ForwardExport<"TD_NST_SetChannel">(Channel);
}

QRX_EXPORT int FDDLTE_AFC_Cal(int flag) {
  return qrx::ForwardExport<"FDDLTE_AFC_Cal">(flag);
}

QRX_EXPORT int LTE_SetULFreq_CabLoss(double Freq) {
  return qrx::ForwardExport<"LTE_SetULFreq_CabLoss">(Freq);
}

QRX_EXPORT int LTE_SetULExpPower_CabLoss(double Power) {
  return qrx::ForwardExport<"LTE_SetULExpPower_CabLoss">(Power);
}
