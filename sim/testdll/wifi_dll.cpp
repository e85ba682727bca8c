// Simulated test library WiFi_DLL: every library function of the WiFi calibration and final test of UFI devices,
// each a step of the simulated device model.
#define QRX_SIM_LIBRARY "WiFi_DLL"
#include "sim_step_export.h"

QRX_SIM_STEP(Init_TestInterface)
QRX_SIM_STEP(WiFi_EnterTestMode)
QRX_SIM_STEP(Init_NetPort)
QRX_SIM_STEP(WiFi_TxFreqCal)
QRX_SIM_STEP(WiFi_TxPwrCal)
QRX_SIM_STEP(Wifi_WriteCalFlag)
QRX_SIM_STEP(WiFi_SetCableLoss_Config)
QRX_SIM_STEP(WiFi_TxMeas_Result)
QRX_SIM_STEP(WiFi_RXSensitivity_Result)
QRX_SIM_STEP(Wifi_WriteFTFlag)
QRX_SIM_STEP(UnInit_NetPort)
QRX_SIM_STEP(WiFi_QuitTestMode)
QRX_SIM_STEP(UnInit_Instrument)
QRX_SIM_STEP(UnInit_TestInterface)

QRX_SIM_STEP_IN(Init_Instrument, {"WifiCal", "CHIPTYPE", 'i'})
QRX_SIM_STEP_IN(WiFi_Config_RFPortNum, {"WifiCal", "RFPORTNUM", 'i'})
QRX_SIM_STEP_IN(WiFi_Config_Mode, {"WifiCal", "MODE", 'i'})
QRX_SIM_STEP_IN(WiFi_Config_MCS, {"WifiCal", "MCS", 'i'})
QRX_SIM_STEP_IN(WiFi_Config_Channel, {"WifiCal", "CHANNEL", 'i'})
QRX_SIM_STEP_IN(WiFi_VSAConfig, {"WifiCal", "SWITCH", 'i'}, {"WifiCal", "BANDWIDTH", 'i'})
QRX_SIM_STEP_IN(WiFi_VSGSensitivityConfig, {"WifiCal", "RXSWITCH", 'i'}, {"WifiCal", "RXBANDWIDTH", 'i'})
QRX_SIM_STEP_IN(Read_Barcode, {"WifiCal", "BOARDNUMLENTH", 'i'})
