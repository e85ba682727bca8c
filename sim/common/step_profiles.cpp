// Functions are matched by the measurement words in their names, most specific first, so a
// new export of an existing kind gets sensible items without touching this table.
#include "step_profiles.h"

#include <cstring>

namespace qrx::sim {
namespace {

struct Rule {
  const char *word;
  std::vector<ItemProfile> items;
};

const std::vector<Rule> &Rules() {
  static const std::vector<Rule> rules = {
      // Steps that only write to the device or switch modes measure nothing.
      {"Write", {}},
      {"UpDateRam", {}},
      {"LteTest_MaxPwrAll",
       {{"MaxPower", 23.2, 0.3, 21.0, 25.0, "MaxPwrLmtLow", "MaxPwrLmtUpp", nullptr, "SkipMaxPwr"},
        {"FreqError", 18.0, 9.0, -100.0, 100.0, nullptr, nullptr, "FreqErrorLimit", "SkipFer"},
        {"OBW", 8.9, 0.1, 0.0, 10.0, nullptr, "OBWLimit", nullptr, "SkipObw"},
        {"EVM", 3.2, 0.4, 0.0, 17.5, nullptr, "EVMLimitQPSK", nullptr, "SkipEvm"},
        {"ACLR_EUTRA", -41.0, 1.0, -80.0, -30.0, nullptr, "ACLRLimitEUTRA", nullptr, "SkipAclr"},
        {"ACLR_UTRA1", -44.0, 1.0, -80.0, -33.0, nullptr, "ACLRLimitUTRA1", nullptr, "SkipAclr"},
        {"SEMMargin", 6.0, 1.0, 0.0, 50.0, nullptr, nullptr, nullptr, "SkipSem"}}},
      {"LteTest_MinPwr", {{"MinPower", -45.0, 0.8, -70.0, -39.0, nullptr, "LimitMinPwrUpper"}}},
      {"LteTest_Sensitivity", {{"BER", 0.4, 0.2, 0.0, 5.0, nullptr, "BerLimit"}}},
      {"LteTest_RSRP", {{"RSRP", -75.0, 0.6, -80.0, -70.0}}},
      {"TxMaxPwr", {{"MaxPower", 23.0, 0.3, 21.0, 25.0, "nMaxPowerLower", "nMaxPowerUpper"}}},
      {"TxMinPwr", {{"MinPower", -52.0, 0.8, -70.0, -48.0, nullptr, "nMinPowerUpper"}}},
      {"TxOBW", {{"OBW", 1.25, 0.02, 0.0, 1.6, "dbOBWLower", "dbOBWUpper"}}},
      {"TxFreqStability", {{"FreqError", 12.0, 8.0, -100.0, 100.0, "nFreqErrorLower", "nFreqErrorUpper"}}},
      {"TxOffPwr", {{"OffPower", -68.0, 1.0, -200.0, -65.0, nullptr, "dbOffPwrUpper"}}},
      {"TxEVM", {{"EVM", 3.0, 0.4, 0.0, 17.5, nullptr, "dbEVMUpper"}}},
      {"TxPCDE", {{"PCDE", -28.0, 1.0, -100.0, -21.0, nullptr, "dbPCDEUpper"}}},
      {"RxSens", {{"Sensitivity", -110.0, 0.6, -130.0, -106.0, nullptr, "dbRxSen"}}},
      {"RxRSCP", {{"RSCP", -75.0, 0.5, -78.0, -72.0, "nRSCPPowerLower", "nRSCPPowerUpper"}}},
      {"RxMaxIn", {{"MaxInputBER", 0.02, 0.01, 0.0, 0.1}}},
      {"TxCLPC", {{"CLPCError", 0.2, 0.3, -1.5, 1.5}}},
      {"TxSEM", {{"SEMMargin", 6.0, 1.0, 0.0, 50.0}}},
      {"TxACLR", {{"ACLR", -42.0, 1.0, -80.0, -33.0}}},
      {"TxOnOffTmMsk", {{"PVTMargin", 3.0, 0.5, 0.0, 20.0}}},
      {"WiFi_TxMeas_Result",
       {{"WiFiTxPower", 16.0, 0.3, 13.0, 19.0}, {"WiFiEVM", -30.0, 1.0, -100.0, -25.0}}},
      {"WiFi_RXSensitivity_Result", {{"WiFiRxPER", 2.0, 1.0, 0.0, 10.0}}},
      {"WiFi_TxFreqCal", {{"WiFiFreqError", 2.0, 1.5, -20.0, 20.0}}},
      {"WiFi_TxPwrCal", {{"WiFiPowerError", 0.0, 0.2, -1.0, 1.0}}},
      {"MeasPowerSensitivity", {{"TxPower", 32.5, 0.3, 30.0, 35.0}, {"RxLevSensitivity", -108.0, 0.6, -130.0, -102.0}}},
      {"Sensitivity", {{"Sensitivity", -108.0, 0.6, -130.0, -102.0}}},
      {"MeasAll", {{"TxPower", 32.5, 0.3, 30.0, 35.0}, {"FreqError", 20.0, 15.0, -90.0, 90.0, nullptr, nullptr, "FreqErr"}}},
      {"MeasEDGEPower", {{"EDGEPower", 27.0, 0.3, 24.0, 30.0}}},
      {"MeasPower", {{"TxPower", 32.5, 0.3, 30.0, 35.0}}},
      {"EdgeMeasTMA", {{"EVM", 3.5, 0.5, 0.0, 9.0}}},
      {"NST_Pwr", {{"TxPower", 23.0, 0.3, 21.0, 25.0}}},
      {"NST_ACLR", {{"ACLR", -42.0, 1.0, -80.0, -33.0}}},
      {"NST_BER", {{"BER", 0.05, 0.02, 0.0, 0.1}}},
      {"NST_EVM", {{"EVM", 3.0, 0.4, 0.0, 17.5}}},
      {"NST_FreqErr", {{"FreqError", 12.0, 8.0, -100.0, 100.0}}},
      {"NST_MaxIn", {{"MaxInputBER", 0.02, 0.01, 0.0, 0.1}}},
      {"NST_OBW", {{"OBW", 1.25, 0.02, 0.0, 1.6}}},
      {"NST_PCDE", {{"PCDE", -28.0, 1.0, -100.0, -21.0}}},
      {"NST_PVT", {{"PVTMargin", 3.0, 0.5, 0.0, 20.0}}},
      {"NST_RSCP", {{"RSCP", -75.0, 0.5, -78.0, -72.0}}},
      {"NST_SEM", {{"SEMMargin", 6.0, 1.0, 0.0, 50.0}}},
      {"TxCal", {{"TxPowerError", 0.05, 0.15, -0.5, 0.5}}},
      {"APC_Cal", {{"TxPowerError", 0.05, 0.15, -0.5, 0.5}}},
      {"RxCal", {{"RssiError", 0.0, 0.2, -1.0, 1.0}}},
      {"AGC_Cal", {{"RssiError", 0.0, 0.2, -1.0, 1.0}}},
      {"AFC_Cal", {{"FreqError", 12.0, 8.0, -100.0, 100.0}}},
      {"TFC", {{"FlatnessDelta", 0.1, 0.1, -0.8, 0.8}}},
      {"RFC", {{"FlatnessDelta", 0.1, 0.1, -0.8, 0.8}}},
      {"FDT", {{"TxPowerError", 0.1, 0.2, -1.0, 1.0}}},
  };
  return rules;
}

} // namespace

std::vector<ItemProfile> StepProfiles::For(const std::string &function) {
  for (const Rule &rule : Rules())
    if (function.find(rule.word) != std::string::npos) return rule.items;
  return {};
}

} // namespace qrx::sim
