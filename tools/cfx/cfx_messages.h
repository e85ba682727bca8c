// The bodies of the CFX messages a test station sends, built from its unit records and events,
// as JSON text written straight from them (a unit's hundreds of measurements go out as fast as
// a line tests). Every body starts with its "$type"; property names, order and enumeration names
// are the ones CFX receivers expect.
#pragma once

#include "cfx_envelope.h"

#include "unit_record.h"

#include <optional>
#include <string>
#include <vector>

namespace qrx::cfx {

namespace names {
inline constexpr const char *kEndpointConnected = "CFX.EndpointConnected";
inline constexpr const char *kEndpointShuttingDown = "CFX.EndpointShuttingDown";
inline constexpr const char *kHeartbeat = "CFX.Heartbeat";
inline constexpr const char *kNotSupportedResponse = "CFX.NotSupportedResponse";
inline constexpr const char *kWorkStarted = "CFX.Production.WorkStarted";
inline constexpr const char *kWorkCompleted = "CFX.Production.WorkCompleted";
inline constexpr const char *kUnitsTested = "CFX.Production.TestAndInspection.UnitsTested";
inline constexpr const char *kUnitsPersonalized = "CFX.Production.Assembly.UnitsPersonalized";
inline constexpr const char *kStationStateChanged = "CFX.ResourcePerformance.StationStateChanged";
inline constexpr const char *kFaultOccurred = "CFX.ResourcePerformance.FaultOccurred";
inline constexpr const char *kFaultCleared = "CFX.ResourcePerformance.FaultCleared";
inline constexpr const char *kValidateUnitsRequest =
    "CFX.InformationSystem.UnitValidation.ValidateUnitsRequest";
inline constexpr const char *kValidateUnitsResponse =
    "CFX.InformationSystem.UnitValidation.ValidateUnitsResponse";
} // namespace names

// A fault of the station (a test library or plug-in that cannot be loaded, ...).
struct CfxFault {
  std::string occurrenceId;              // GUID, new per occurrence
  std::optional<std::string> transactionId;
  std::string cause = "SoftwareFailure"; // FaultCause name
  std::string severity = "Error";        // FaultSeverity name
  std::string faultCode;                 // the station's own code
  std::string description;               // English, at most 1024 characters are sent
  int64_t occurredUs = 0;
};

class CfxMessages {
public:
  // The "$type" of the named message's body: "<name>, CFX".
  static std::string TypeOf(const std::string &messageName);

  static std::string EndpointConnected(const std::string &handle,
                                const std::optional<std::string> &requestUri = std::nullopt,
                                const std::optional<std::string> &requestAddress = std::nullopt);
  static std::string EndpointShuttingDown(const std::string &handle);
  static std::string Heartbeat(const std::string &handle, int64_t periodUs,
                        const std::vector<CfxFault> &activeFaults);

  // The unit's serial number, or its unit id while the serial is not known.
  static std::string UnitIdentifier(const store::UnitRecord &unit);
  static std::string WorkStarted(const store::UnitRecord &header, const std::string &transactionId);
  // primaryIdentifier: the serial number when it was not known at WorkStarted, else none.
  static std::string WorkCompleted(const store::UnitRecord &unit, const std::string &transactionId,
                            const std::optional<std::string> &primaryIdentifier);
  // One test per step, each step's items as its measurements, with their limits and results.
  static std::string UnitsTested(const store::UnitRecord &unit, const std::string &transactionId);
  // The identities programmed into the unit (written successfully); none: no message.
  static std::optional<std::string> UnitsPersonalized(const store::UnitRecord &unit,
                                               const std::string &transactionId);

  // States are SEMI E10 codes (1100 testing, 2200 awaiting a unit, ...).
  static std::string StationStateChanged(int oldState, std::optional<int64_t> oldStateDurationUs,
                                  int newState, const CfxFault *relatedFault);
  static std::string FaultOccurred(const CfxFault &fault);
  static std::string FaultCleared(const std::string &occurrenceId);

  static std::string ValidateUnitsRequest(const std::string &serialNumber);
};

} // namespace qrx::cfx
