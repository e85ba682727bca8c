// The behaviour of the simulated test libraries. Most steps are measurements described by
// StepProfiles; a few have device-facing effects of their own (barcodes, flags, cable loss).
#include "test_step.h"

#include "identity_store.h"
#include "sim_hub.h"
#include "sim_random.h"
#include "step_profiles.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>

namespace qrx::sim {
namespace {

using Inputs = std::map<std::string, std::string>;

const char kNoSerial[] = "FFFFFFFFFFFF"; // what an unprogrammed device answers

// Station flags: which step writes which of the device's 20 flags.
struct FlagWriter {
  const char *function;
  int flag;
};
constexpr FlagWriter kFlagWriters[] = {
    {"Write_TestInfo_GSM", 0},    {"Write_TestInfo_TD", 1},  {"Write_TestInfo_FDDLTE", 2},
    {"Write_TestInfo_TDDLTE", 3}, {"WriteFTFlag", 4},        {"WriteTestInfo", 5},
    {"WriteTestInfo_Mobile", 6},  {"Wifi_WriteCalFlag", 7},  {"Wifi_WriteFTFlag", 8},
};

// The calibration flag a final test insists on before it starts, per library.
int RequiredCalibrationFlag(const std::string &library) {
  if (library == "GsmFt") return 0;
  if (library == "TDFT") return 1;
  if (library == "FinalTestLTE") return 3;
  return -1;
}

// Reads a number as strtod does in the C locale, whatever locale the host set: staged reals
// always carry a decimal point.
bool ParseNumber(const std::string &text, double *out) {
  const char *begin = text.c_str();
  const char *end = begin + text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(*begin))) ++begin;
  if (begin < end && *begin == '+' && !(begin + 1 < end && begin[1] == '-')) ++begin;
  double value = 0;
  const auto [stop, error] = std::from_chars(begin, end, value);
  if (stop == begin || error != std::errc() || !std::isfinite(value)) return false;
  *out = value;
  return true;
}

class Runner {
public:
  Runner(ITestTools *hub, const char *library, const StepSpec &spec)
      : hub_(hub, library), library_(library), spec_(spec) {}

  int Run() {
    if (!hub_.Valid()) return kStepBadInput;
    for (size_t i = 0; i < spec_.inputCount; ++i) {
      const StepInput &in = spec_.inputs[i];
      auto value = hub_.Input(in.section, in.key);
      bool optional = in.type >= 'A' && in.type <= 'Z';
      if (!value && optional) continue;
      if (!value) {
        hub_.Message(std::string(spec_.function) + ": input " + in.section + "/" + in.key +
                     " was not staged");
        return kStepBadInput;
      }
      double number;
      if (in.type != 's' && in.type != 'S' && !ParseNumber(*value, &number)) {
        hub_.Message(std::string(spec_.function) + ": input " + in.key + " is not a number");
        return kStepBadInput;
      }
      inputs_[in.key] = *value;
    }
    std::string name = spec_.function;
    if (name == "Check_SN" || name == "CheckBarcode") return CheckSerial();
    if (name == "Read_Barcode") return ReadBarcode();
    if (name == "LTE_SetULFreq_CabLoss") return Remember("CabLossFreq", "Freq");
    if (name == "LTE_SetULExpPower_CabLoss") return Remember("CabLossExpPower", "Power");
    if (name == "LTE_ReadPower_CabLoss") return ReadCableLossPower();
    if (name == "Check_TestInfo") return CheckFlag(IntInput("FTFlag", -1));
    if (name == "CheckTestInfo") {
      auto station = inputs_.find("TestStationNum");
      return CheckFlag(station != inputs_.end() ? std::atoi(station->second.c_str())
                                                : RequiredCalibrationFlag(library_));
    }
    if (name == "Init_TestInstrument" || name == "Init_Instrument_Lte" || name == "Init_Instrument")
      return IdentifyTester();
    if (name == "Clear_TestInfo") return ClearFlags(IntInput("nClearType", 0));
    for (const FlagWriter &writer : kFlagWriters)
      if (name == writer.function) return WriteFlag(writer.flag);
    return Measure();
  }

private:
  int IntInput(const char *key, int fallback) const {
    auto it = inputs_.find(key);
    return it == inputs_.end() ? fallback : std::atoi(it->second.c_str());
  }

  std::optional<double> NumberInput(const char *key) const {
    if (!key) return std::nullopt;
    auto it = inputs_.find(key);
    double value;
    if (it == inputs_.end() || !ParseNumber(it->second, &value)) return std::nullopt;
    return value;
  }

  // Logs one item from the device model; a configured fault pushes it past its limits.
  // typicalLower/typicalUpper: the device's own specification, which a healthy device
  // meets; lower/upper: the limits the step is judged against (possibly staged).
  bool MeasureItem(const std::string &item, double nominal, double sigma, double typicalLower,
                   double typicalUpper, double lower, double upper) {
    SimRandom random(hub_.Seed(), hub_.ThreadIndex(), item);
    double value = random.Normal(nominal, sigma);
    // Rare noise tails are clipped to 80 % of the limit's margin around nominal.
    double below = nominal - typicalLower, above = typicalUpper - nominal;
    if (below > 0 && value < nominal - 0.8 * below) value = nominal - 0.8 * below;
    if (above > 0 && value > nominal + 0.8 * above) value = nominal + 0.8 * above;
    if (hub_.ShouldFail(spec_.function, item))
      value = upper + std::max(1.0, std::fabs(upper - lower) * 0.25);
    return hub_.Item(item, value, lower, upper);
  }

  int Measure() {
    auto profile = StepProfiles::For(spec_.function);
    if (profile.empty()) {
      // Set-up, tear-down and write steps: the device simply answers. A configured fault
      // on the step name still makes it fail, so hosts can test their error paths.
      if (hub_.ShouldFail(spec_.function, spec_.function)) {
        hub_.Message(std::string(spec_.function) + ": device did not answer");
        return kStepItemFailed;
      }
      hub_.Message(std::string(spec_.function) + DescribeInputs() + ": OK");
      return kStepPassed;
    }
    bool passed = true;
    for (const ItemProfile &p : profile) {
      auto skip = NumberInput(p.skipKey);
      if (skip && *skip != 0) continue;
      double lower = p.lower, upper = p.upper;
      if (auto x = NumberInput(p.symmetricKey)) lower = -std::fabs(*x), upper = std::fabs(*x);
      if (auto x = NumberInput(p.lowerKey)) lower = *x;
      if (auto x = NumberInput(p.upperKey)) upper = *x;
      std::string item = std::string(spec_.function) + " " + p.quantity;
      passed = MeasureItem(item, p.nominal, p.sigma, p.lower, p.upper, lower, upper) && passed;
    }
    return passed ? kStepPassed : kStepItemFailed;
  }

  std::string DescribeInputs() const {
    std::string text;
    for (const auto &[key, value] : inputs_) text += (text.empty() ? " " : ", ") + key + "=" + value;
    return text;
  }

  int CheckSerial() {
    IdentityStore device(hub_.ThreadIndex());
    std::string serial = device.GetOr("SN", kNoSerial);
    if (hub_.ShouldFail(spec_.function, "Sn")) serial = kNoSerial;
    hub_.SetResult("Sn", serial);
    hub_.Message(std::string(spec_.function) + ": device serial number " + serial);
    return kStepPassed;
  }

  int ReadBarcode() {
    int length = IntInput("BOARDNUMLENTH", 0);
    std::string pattern = length > 0 && length < 200
                              ? "^[0-9A-Za-z]{" + std::to_string(length) + "}$"
                              : std::string("^.+$");
    std::string barcode;
    if (hub_.Hub()->InputSerialNumberMatching(&barcode, &pattern) != 0) {
      hub_.Message("Read_Barcode: the operator cancelled the barcode entry");
      return kStepCancelled;
    }
    IdentityStore(hub_.ThreadIndex()).Set("BoardBarcode", barcode);
    hub_.SetResult("Sn", barcode);
    hub_.Message("Read_Barcode: board barcode " + barcode);
    return kStepPassed;
  }

  int Remember(const char *resultKey, const char *inputKey) {
    hub_.SetResult(resultKey, inputs_[inputKey]);
    hub_.Message(std::string(spec_.function) + ": " + inputKey + "=" + inputs_[inputKey]);
    return kStepPassed;
  }

  int ReadCableLossPower() {
    double freq = 0, expected = 0;
    auto f = hub_.Result("CabLossFreq");
    auto p = hub_.Result("CabLossExpPower");
    if (!f || !p || !ParseNumber(*f, &freq) || !ParseNumber(*p, &expected)) {
      hub_.Message("LTE_ReadPower_CabLoss: set the uplink frequency and expected power first");
      return kStepPrecondition;
    }
    // A coaxial cable loses more at higher frequencies: about 0.5 dB plus 0.35 dB per GHz.
    double nominalLoss = 0.5 + 0.35 * freq / 1000.0;
    SimRandom random(hub_.Seed(), hub_.ThreadIndex(), "CableLoss" + *f);
    double loss = random.Normal(nominalLoss, 0.03);
    if (hub_.ShouldFail(spec_.function, "CableLoss")) loss = 6.0;
    bool passed = hub_.Item("CableLoss", loss, 0.0, 3.0);
    hub_.SetResultDouble("Power", expected - loss);
    return passed ? kStepPassed : kStepItemFailed;
  }

  // Asks the station's detection service which tester answers at the station's GPIB address
  // (BASEINFO of the business-configuration file, as the instrument manager reads it).
  int IdentifyTester() {
    if (hub_.ShouldFail(spec_.function, spec_.function)) {
      hub_.Message(std::string(spec_.function) + ": the tester does not answer");
      return kStepPrecondition;
    }
    IInstrumentDetectService *detect = hub_.Hub()->GetInstrumentDetectService();
    ISettingService *settings = hub_.Hub()->GetSettingService();
    auto configFile = hub_.Param("ConfigFile");
    if (!detect || !settings || !configFile) {
      hub_.Message(std::string(spec_.function) + ": no instrument detection on this station");
      return kStepPrecondition;
    }
    InstrumentAddress address{0, 0, "", "", false, false};
    if (ISettingFile *config = settings->OpenSettingFile(*configFile, "BusinessCfg")) {
      std::string n = std::to_string(hub_.ThreadIndex() + 1);
      address.gpibBoard = std::atoi(config->GetValue("BASEINFO", "nGPIBAddress" + n).c_str());
      address.primaryAddress = std::atoi(config->GetValue("BASEINFO", "nDeviceAddress" + n).c_str());
      config->Release();
    }
    if (detect->IdentifyInstrument(&address) != 0) {
      hub_.Message(std::string(spec_.function) + ": no tester identified at GPIB" +
                   std::to_string(address.gpibBoard) + "::" + std::to_string(address.primaryAddress));
      return kStepPrecondition;
    }
    hub_.Message(std::string(spec_.function) + ": tester " + address.model + ", firmware " +
                 address.firmwareVersion);
    return kStepPassed;
  }

  int CheckFlag(int flag) {
    if (flag < 0 || flag >= 20) {
      hub_.Message(std::string(spec_.function) + ": no flag " + std::to_string(flag));
      return kStepBadInput;
    }
    char value = IdentityStore(hub_.ThreadIndex()).Flags()[static_cast<size_t>(flag)];
    bool passed = value == '1' && !hub_.ShouldFail(spec_.function, spec_.function);
    hub_.Item(std::string(spec_.function) + " Flag" + std::to_string(flag), passed ? 1 : 0, 1, 1);
    if (!passed)
      hub_.Message(std::string(spec_.function) + ": flag " + std::to_string(flag) +
                   " is not set; the earlier station has not passed this device");
    return passed ? kStepPassed : kStepPrecondition;
  }

  int ClearFlags(int type) {
    IdentityStore device(hub_.ThreadIndex());
    bool ok = true;
    // 0 clears every flag, 1..20 clear the flag before that number.
    for (int i = 0; i < 20; ++i)
      if (type == 0 || type == i + 1) ok = device.SetFlag(i, '0') && ok;
    hub_.Message("Clear_TestInfo: cleared " + (type == 0 ? std::string("all flags")
                                                         : "flag " + std::to_string(type - 1)));
    return ok ? kStepPassed : kStepItemFailed;
  }

  int WriteFlag(int flag) {
    auto given = inputs_.find("FTFlag");
    char value = given != inputs_.end() && !given->second.empty() ? given->second[0] : '1';
    if (hub_.ShouldFail(spec_.function, spec_.function) ||
        !IdentityStore(hub_.ThreadIndex()).SetFlag(flag, value)) {
      hub_.Message(std::string(spec_.function) + ": writing flag " + std::to_string(flag) +
                   " failed");
      return kStepItemFailed;
    }
    hub_.Message(std::string(spec_.function) + ": flag " + std::to_string(flag) + " = " + value);
    return kStepPassed;
  }

  SimHub hub_;
  std::string library_;
  const StepSpec &spec_;
  Inputs inputs_;
};

} // namespace

int TestStep::Run(ITestTools *hub, const char *library, const StepSpec &spec) {
  try {
    return Runner(hub, library, spec).Run();
  } catch (...) {
    // Nothing may escape into the interface library's C frames.
    return kStepBadInput;
  }
}

} // namespace qrx::sim
