// Simulated test library FinalTestLTE: every library function of the LTE final test,
// each a step of the simulated device model.
#define QRX_SIM_LIBRARY "FinalTestLTE"
#include "sim_step_export.h"

QRX_SIM_STEP(Init_Instrument_Lte)
QRX_SIM_STEP(Init_ComPort_Lte)
QRX_SIM_STEP(CheckSerialPortStatus)
QRX_SIM_STEP(CheckTestInfo)
QRX_SIM_STEP(EstablishLink)
QRX_SIM_STEP(LteChan_HandOver)
QRX_SIM_STEP(Lte_EndMeasurement)
QRX_SIM_STEP(WriteFTFlag)
QRX_SIM_STEP(UnInit_ComPort_Lte)
QRX_SIM_STEP(UnInit_Instrument_Lte)
QRX_SIM_STEP(UnInit_TestInterface_Lte)
QRX_SIM_STEP(CheckBarcode)

QRX_SIM_STEP_IN(Init_TestInterface_Lte, {"LTEFT", "TestMode", 'i'})
QRX_SIM_STEP_IN(SwitchMobileMode, {"LTEFT", "nModeValue", 'i'})
QRX_SIM_STEP_IN(RegisterCard_ForWuLian, {"LTEFT", "RecallTimes", 'i'}, {"LTEFT", "RecallWait", 'i'})
QRX_SIM_STEP_IN(RegisterCard, {"LTEFT", "SearchPriority", 'i'}, {"LTEFT", "RecallTimes", 'i'}, {"LTEFT", "RecallWait", 'i'})
QRX_SIM_STEP_IN(LteGet_ChannelNum, {"LTEFT", "Band", 'i'}, {"LTEFT", "UpLinkChannel", 'i'})
QRX_SIM_STEP_IN(LteBand_HandOver, {"LTEFT", "Band", 'i'}, {"LTEFT", "UpLinkChannel", 'i'})
QRX_SIM_STEP_IN(LteTest_MinPwr, {"LTEFT", "LimitMinPwrUpper", 'd'})
QRX_SIM_STEP_IN(LteTest_Sensitivity, {"LTEFT", "IsMaxInput", 'i'}, {"LTEFT", "BSMaxInput", 'd'}, {"LTEFT", "BerLimit", 'd'}, {"LTEFT", "BSRefPower", 'd'}, {"LTEFT", "MSPower", 'd'})
QRX_SIM_STEP_IN(LteTest_RSRP, {"LTEFT", "RSRP_Levels", 's'}, {"LTEFT", "RSRP_Threshold", 's'})
QRX_SIM_STEP_IN(Bs_Config, {"LTEFT", "Band", 'i'}, {"LTEFT", "Channel", 'i'}, {"LTEFT", "MSPower", 'd'}, {"LTEFT", "BSPower", 'd'}, {"LTEFT", "Secu", 'i'}, {"LTEFT", "InstrMode", 'i'}, {"LTEFT", "KI", 's'}, {"LTEFT", "UsimNumber", 's'}, {"LTEFT", "BandWidth", 'i'}, {"LTEFT", "InStrFlag", 'i'}, {"LTEFT", "IsNormalFre", 'i'}, {"LTEFT", "ISTDD", 'i'}, {"LTEFT", "DlChanMin", 'i'}, {"LTEFT", "DlChanMax", 'i'}, {"LTEFT", "DFrleMin", 'i'}, {"LTEFT", "UDSeparation", 'i'}, {"LTEFT", "FddUpChanMin", 'i'})
QRX_SIM_STEP_IN(LteTest_MaxPwrAll, {"LTEFT", "MaxPwrLmtUpp", 'd'}, {"LTEFT", "MaxPwrLmtLow", 'd'}, {"LTEFT", "FreqErrorLimit", 'i'}, {"LTEFT", "OBWLimit", 'i'}, {"LTEFT", "LteModulation", 'i'}, {"LTEFT", "TestRBsList", 's'}, {"LTEFT", "SkipMaxPwr", 'i'}, {"LTEFT", "SkipEvm", 'i'}, {"LTEFT", "SkipPcde", 'i'}, {"LTEFT", "SkipFer", 'i'}, {"LTEFT", "SkipAclr", 'i'}, {"LTEFT", "SkipSem", 'i'}, {"LTEFT", "SkipObw", 'i'}, {"LTEFT", "EVMLimitQPSK", 'd'}, {"LTEFT", "EVMLimit16QAM", 'd'}, {"LTEFT", "ACLRLimitEUTRA", 'd'}, {"LTEFT", "ACLRLimitUTRA1", 'd'}, {"LTEFT", "ACLRLimitUTRA2", 'd'})
