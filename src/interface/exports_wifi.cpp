// WiFi calibration and final-test exports of UFI devices: each forwards to the WiFi test
// library through its catalogue row.
#include "interface/export_forwarder.h"
#include "interface/export_macros.h"

#include <qrx/qrx_interface.h>

QRX_EXPORT int Init_TestInterface_Ufi(void) {
  return qrx::ForwardExport<"Init_TestInterface_Ufi">();
}

QRX_EXPORT int WiFi_EnterTestMode_Ufi(void) {
  return qrx::ForwardExport<"WiFi_EnterTestMode_Ufi">();
}

QRX_EXPORT int Init_NetPort_Ufi(void) {
  return qrx::ForwardExport<"Init_NetPort_Ufi">();
}

QRX_EXPORT int WiFi_TxFreqCal_Ufi(void) {
  return qrx::ForwardExport<"WiFi_TxFreqCal_Ufi">();
}

QRX_EXPORT int WiFi_TxPwrCal_Ufi(void) {
  return qrx::ForwardExport<"WiFi_TxPwrCal_Ufi">();
}

QRX_EXPORT int Wifi_WriteCalFlag_Ufi(void) {
  return qrx::ForwardExport<"Wifi_WriteCalFlag_Ufi">();
}

QRX_EXPORT int WiFi_SetCableLoss_Config_Ufi(void) {
  return qrx::ForwardExport<"WiFi_SetCableLoss_Config_Ufi">();
}

QRX_EXPORT int WiFi_TxMeas_Result_Ufi(void) {
  return qrx::ForwardExport<"WiFi_TxMeas_Result_Ufi">();
}

QRX_EXPORT int WiFi_RXSensitivity_Result_Ufi(void) {
  return qrx::ForwardExport<"WiFi_RXSensitivity_Result_Ufi">();
}

QRX_EXPORT int Wifi_WriteFTFlag_Ufi(void) {
  return qrx::ForwardExport<"Wifi_WriteFTFlag_Ufi">();
}

QRX_EXPORT int UnInit_NetPort_Ufi(void) {
  return qrx::ForwardExport<"UnInit_NetPort_Ufi">();
}

QRX_EXPORT int WiFi_QuitTestMode_Ufi(void) {
  return qrx::ForwardExport<"WiFi_QuitTestMode_Ufi">();
}

QRX_EXPORT int UnInit_Instrument_Ufi(void) {
  return qrx::ForwardExport<"UnInit_Instrument_Ufi">();
}

QRX_EXPORT int UnInit_TestInterface_Ufi(void) {
  return qrx::ForwardExport<"UnInit_TestInterface_Ufi">();
}

QRX_EXPORT int Init_Instrument_Ufi(int CHIPTYPE) {
  return qrx::ForwardExport<"Init_Instrument_Ufi">(CHIPTYPE);
}

QRX_EXPORT int WiFi_Config_RFPortNum_Ufi(int RFPORTNUM) {
  return qrx::ForwardExport<"WiFi_Config_RFPortNum_Ufi">(RFPORTNUM);
}

QRX_EXPORT int WiFi_Config_Mode_Ufi(int MODE) {
  return qrx::ForwardExport<"WiFi_Config_Mode_Ufi">(MODE);
}

QRX_EXPORT int WiFi_Config_MCS_Ufi(int MCS) {
  return qrx::ForwardExport<"WiFi_Config_MCS_Ufi">(MCS);
}

QRX_EXPORT int WiFi_Config_Channel_Ufi(int CHANNEL) {
  return qrx::ForwardExport<"WiFi_Config_Channel_Ufi">(CHANNEL);
}

QRX_EXPORT int WiFi_VSAConfig_Ufi(int SWITCH, int BANDWIDTH) {
  return qrx::ForwardExport<"WiFi_VSAConfig_Ufi">(SWITCH, BANDWIDTH);
}

QRX_EXPORT int WiFi_VSGSensitivityConfig_Ufi(int RXSWITCH, int RXBANDWIDTH) {
  return qrx::ForwardExport<"WiFi_VSGSensitivityConfig_Ufi">(RXSWITCH, RXBANDWIDTH);
}

QRX_EXPORT int ReadBarcode_Ufi(char *barcode, int BOARDNUMLENTH) {
  return qrx::ForwardExport<"ReadBarcode_Ufi">(barcode, BOARDNUMLENTH);
}
