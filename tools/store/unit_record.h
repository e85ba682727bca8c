// The record of one tested unit as a host keeps it (who tested it, where and when, every step,
// every measurement against its limits, every identity, the verdict), and the two seams through
// which a host hands records to a results store and takes identities from its pools.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qrx::store {

// Times are microseconds since the Unix epoch (wall clock) unless named otherwise. Texts are UTF-8.

struct StepRecord {
  int index = 0;               // 0-based position of the step in the unit
  std::string exportName;      // "GSM_NST_MeasPower"
  std::string arguments;       // the arguments as called, after substitution ("1, 62, 5")
  int32_t result = 0;          // what the export returned
  bool passed = false;         // the result met the sequence's expectation
  int64_t startedUs = 0;
  int64_t durationUs = 0;
};

struct TestItemRecord {
  int stepIndex = -1;          // the step during which the item was logged, -1 outside steps
  std::string source;          // who logged it (the log line's source)
  std::string name;
  std::string value, lower, upper;                // as the log line has them
  std::optional<double> valueNumber, lowerNumber, upperNumber; // where they parse as numbers
  std::string verdict;         // as logged ("PASS", "FAIL", ...)
  bool passed = false;
  std::string tag;
  int64_t monotonicNs = 0;     // steady clock, for ordering and durations within one process
  int64_t wallUs = 0;
};

struct IdentityRecord {
  int stepIndex = -1;
  std::string kind;            // "sn", "imei", "mac", "ssid", "bt", ...
  std::string value;
  std::string action;          // "written" or "read"
  int32_t result = 0;          // the export's result
  bool fromPool = false;       // the value was allocated from an identity pool (@imei, @mac, @sn)
  int64_t wallUs = 0;
};

struct DownloadRecord {
  int stepIndex = -1;
  std::string image;
  bool success = false;
  std::string outcome;         // what the plug-in reported at the end
  int64_t durationUs = 0;
};

enum class UnitVerdict { Incomplete, Pass, Fail };

struct UnitRecord {
  std::string unitId;          // a random (version 4) UUID, lower case
  std::string serialNumber;    // the prompt's answer, else the first SN written or read
  std::string productType;     // "QRX" or "UFI"
  std::string businessConfig;  // the business-configuration file name
  int stationIndex = 0;        // 1-based station number of the host
  int threadIndex = 0;         // the thread index given to InitQRXInterface
  std::string hostName;
  std::string sequenceFile;
  std::string sequenceHash;    // SHA-256 of the sequence file's bytes, lower-case hex
  int64_t startedUs = 0;
  int64_t endedUs = 0;         // 0 while the unit runs
  UnitVerdict verdict = UnitVerdict::Incomplete;
  int firstFailingStep = -1;   // index into steps, -1 when none failed
  std::string failureReason;   // why the first failing step failed, for people
  std::vector<StepRecord> steps;
  std::vector<TestItemRecord> items;
  std::vector<IdentityRecord> identities;
  std::vector<DownloadRecord> downloads;
};

// Where a host hands its unit records. Implementations queue and return at once: no station
// thread waits on a disk or a network.
class UnitSink {
public:
  virtual ~UnitSink() = default;
  // The unit has started (only the header fields are set): kept as incomplete, so a host that
  // dies mid-unit leaves a trace of it.
  virtual void BeginUnit(const UnitRecord &header) = 0;
  // The unit has ended: the whole record replaces the incomplete one, atomically.
  virtual void EndUnit(const UnitRecord &unit) = 0;
  // Why records handed over now would not reach the store (full, read-only, corrupt, gone);
  // empty while they do. A host asks before programming an identity it could not record.
  virtual std::string Problem() const { return std::string(); }
};

// Identity pools (IMEI, MAC, serial numbers) shared by every station and machine of a store.
// Calls block the station thread: a unit cannot go on without its identity.
class IdentitySource {
public:
  virtual ~IdentitySource() = default;
  // Reserves the next value of kind ("imei", "mac" or "sn") for the unit; the same unit asking
  // again for the same kind gets the same value. False with *error set when there is none.
  virtual bool Reserve(const std::string &unitId, const std::string &kind, std::string *value,
                       std::string *error) = 0;
  // The value was programmed into the unit (written) or read back from it and compared (verified).
  virtual bool MarkWritten(const std::string &unitId, const std::string &kind,
                           const std::string &value, std::string *error) = 0;
  virtual bool MarkVerified(const std::string &unitId, const std::string &kind,
                            const std::string &value, std::string *error) = 0;
  // False with *error set when value is already verified on another unit: programming it again
  // would give two devices one identity.
  virtual bool MayProgram(const std::string &unitId, const std::string &kind,
                          const std::string &value, std::string *error) = 0;
  // The unit ended: values reserved and never written return to their pool; values written to
  // a unit that failed are burned and never issued again.
  virtual void EndUnit(const std::string &unitId, bool passed) = 0;
};

const char *VerdictName(UnitVerdict verdict); // "incomplete", "pass", "fail"
// The verdict a name stands for; false (and *verdict untouched) for any other text.
bool ParseVerdict(const std::string &name, UnitVerdict *verdict);

} // namespace qrx::store
