// The station journal's format: event type names, field names, the format version, the
// Recording.xml settings and the rule that names journal files. The library's writer and
// qrx-collector both include this header, so the two sides cannot drift apart. Plain constexpr
// data and small inline helpers with no dependency on the rest of the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qrx::journal {

// Readers refuse a line whose "v" is greater than this.
inline constexpr int kJournalFormatVersion = 1;

// Opt-in: BusinessCfg/Recording.xml, an ordinary setting file of the library's XML dialect.
namespace recording {
inline constexpr std::string_view kFileName = "Recording.xml";
inline constexpr std::string_view kRoot = "Recording";
inline constexpr std::string_view kSection = "Journal";
inline constexpr std::string_view kFolder = "Folder";             // relative to the station directory
inline constexpr std::string_view kMaxFileBytes = "MaxFileBytes";     // rotate beyond this
inline constexpr std::string_view kMaxFolderBytes = "MaxFolderBytes"; // retention bound
inline constexpr std::string_view kRequired = "Required";           // 1: no journal, no station
inline constexpr std::string_view kDefaultFolder = "Journal";
inline constexpr int64_t kDefaultMaxFileBytes = 16 * 1024 * 1024;
inline constexpr int64_t kDefaultMaxFolderBytes = 1024LL * 1024 * 1024;
} // namespace recording

// Event types: the value of the "type" field.
namespace event {
inline constexpr std::string_view kStationStart = "station_start";
inline constexpr std::string_view kStationEnd = "station_end";
inline constexpr std::string_view kRotated = "rotated";
inline constexpr std::string_view kUnitBegin = "unit_begin";
inline constexpr std::string_view kUnitEnd = "unit_end";
inline constexpr std::string_view kCall = "call";
inline constexpr std::string_view kItem = "item";
inline constexpr std::string_view kLog = "log";
inline constexpr std::string_view kIdentity = "identity";
inline constexpr std::string_view kDownload = "download";
inline constexpr std::string_view kPrompt = "prompt";
inline constexpr std::string_view kMessageBox = "message_box";
inline constexpr std::string_view kJournalProblem = "journal_problem";
} // namespace event

// Field names. The first group is on every line; the rest belong to the event types noted.
namespace field {
inline constexpr std::string_view kVersion = "v";
inline constexpr std::string_view kSeq = "seq"; // from 0 per file, no gaps
inline constexpr std::string_view kType = "type";
inline constexpr std::string_view kWallUs = "wallUs";
inline constexpr std::string_view kMonoNs = "monoNs";
inline constexpr std::string_view kThread = "thread";
inline constexpr std::string_view kUnit = "unit"; // omitted outside a unit

// station_start, station_end
inline constexpr std::string_view kProductType = "productType";
inline constexpr std::string_view kBusinessConfig = "businessConfig";
inline constexpr std::string_view kHostProcess = "hostProcess";
inline constexpr std::string_view kHostPid = "hostPid";
inline constexpr std::string_view kMachine = "machine";
inline constexpr std::string_view kLibraryVersion = "libraryVersion";
inline constexpr std::string_view kResult = "result"; // also call, identity
inline constexpr std::string_view kJournalFormat = "journalFormat";
// rotated
inline constexpr std::string_view kNext = "next";
// unit_begin, unit_end (unit_end: the serial number as the unit ended, which a naming call
// may have given it after unit_begin)
inline constexpr std::string_view kSerial = "serial";
inline constexpr std::string_view kExplicit = "explicit";
inline constexpr std::string_view kReason = "reason";
inline constexpr std::string_view kVerdict = "verdict"; // also item
inline constexpr std::string_view kInferred = "inferred";
inline constexpr std::string_view kFirstFailingCall = "firstFailingCall";
// call
inline constexpr std::string_view kName = "name"; // also item
inline constexpr std::string_view kArgs = "args";
inline constexpr std::string_view kDurationUs = "durationUs";
inline constexpr std::string_view kReadBack = "readBack";
inline constexpr std::string_view kPassed = "passed"; // also item, identity
// item: the structured test item
inline constexpr std::string_view kSource = "source";
inline constexpr std::string_view kValue = "value"; // also identity
inline constexpr std::string_view kLower = "lower";
inline constexpr std::string_view kUpper = "upper";
inline constexpr std::string_view kValueNumber = "valueNumber";
inline constexpr std::string_view kLowerNumber = "lowerNumber";
inline constexpr std::string_view kUpperNumber = "upperNumber";
inline constexpr std::string_view kTag = "tag";
// log
inline constexpr std::string_view kLevel = "level";
inline constexpr std::string_view kText = "text"; // also message_box, journal_problem
// identity
inline constexpr std::string_view kKind = "kind"; // also prompt
inline constexpr std::string_view kOp = "op";
inline constexpr std::string_view kExpected = "expected";
// download
inline constexpr std::string_view kPhase = "phase";
inline constexpr std::string_view kImage = "image";
inline constexpr std::string_view kPercent = "percent";
inline constexpr std::string_view kSuccess = "success";
inline constexpr std::string_view kOutcome = "outcome";
// prompt
inline constexpr std::string_view kPattern = "pattern";
inline constexpr std::string_view kAnswer = "answer";
inline constexpr std::string_view kCancelled = "cancelled";
// message_box
inline constexpr std::string_view kCaption = "caption";
} // namespace field

// Values of the enumerated fields.
namespace verdict {
inline constexpr std::string_view kPass = "pass";
inline constexpr std::string_view kFail = "fail";
inline constexpr std::string_view kIncomplete = "incomplete"; // only the collector writes this
} // namespace verdict

namespace reason {
inline constexpr std::string_view kFirstCall = "first_call"; // unit_begin
inline constexpr std::string_view kNamed = "named";          // unit_begin
inline constexpr std::string_view kHost = "host";            // unit_begin, unit_end
inline constexpr std::string_view kNamedOther = "named_other"; // unit_end
inline constexpr std::string_view kStationEnd = "station_end"; // unit_end
// unit_end: an export that begins units (a catalogue column) came again within the open unit,
// so the host started its sequence over for the next device.
inline constexpr std::string_view kRestarted = "restarted";
} // namespace reason

namespace identity_op {
inline constexpr std::string_view kWrite = "write";
inline constexpr std::string_view kRead = "read";
inline constexpr std::string_view kCompare = "compare";
} // namespace identity_op

namespace download_phase {
inline constexpr std::string_view kStart = "start";
inline constexpr std::string_view kProgress = "progress";
inline constexpr std::string_view kEnd = "end";
} // namespace download_phase

// Files. One journal file per station start and rotation:
//   <machine>-<pid>-<threadIndex>-<startUs>-<seq>.jsonl
// machine is the host name with every character outside [A-Za-z0-9_.] replaced by '_' (so the
// '-' separators stay unambiguous; station_start carries the name as it is); threadIndex is
// signed decimal; seq counts 0, 1, 2, ... as the file rotates. The collector marks a file it
// has recorded to its last line with an empty file of the same name plus ".done".
inline constexpr std::string_view kFileExtension = ".jsonl";
inline constexpr std::string_view kDoneSuffix = ".done";

struct JournalFileName {
  std::string machine;
  int64_t pid = 0;
  int64_t threadIndex = 0;
  int64_t startUs = 0;
  int64_t seq = 0;
};

inline std::string SanitizedMachineName(std::string_view machine) {
  std::string out(machine.empty() ? std::string_view("unknown") : machine);
  for (char &c : out) {
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                      (c >= '0' && c <= '9') || c == '_' || c == '.';
    if (!keep) c = '_';
  }
  return out;
}

inline std::string FormatJournalFileName(const JournalFileName &name) {
  std::string out = SanitizedMachineName(name.machine);
  for (int64_t part : {name.pid, name.threadIndex, name.startUs, name.seq}) {
    out += '-';
    out += std::to_string(part);
  }
  out += kFileExtension;
  return out;
}

namespace file_name_detail {
// Reads a decimal number (a leading '-' only where allowed) up to the next '-' or the end.
inline bool TakeNumber(std::string_view &rest, bool allowSign, int64_t *out) {
  size_t i = 0;
  bool negative = false;
  if (allowSign && i < rest.size() && rest[i] == '-') {
    negative = true;
    ++i;
  }
  const size_t digitsFrom = i;
  int64_t value = 0;
  for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) {
    if (value > (INT64_MAX - 9) / 10) return false;
    value = value * 10 + (rest[i] - '0');
  }
  if (i == digitsFrom || i - digitsFrom > 18) return false;
  *out = negative ? -value : value;
  rest.remove_prefix(i);
  return true;
}
} // namespace file_name_detail

// The parts of a journal file name, or nothing when the name does not follow the rule.
inline std::optional<JournalFileName> ParseJournalFileName(std::string_view fileName) {
  if (fileName.size() <= kFileExtension.size() ||
      fileName.substr(fileName.size() - kFileExtension.size()) != kFileExtension)
    return std::nullopt;
  std::string_view rest = fileName.substr(0, fileName.size() - kFileExtension.size());
  const size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos) return std::nullopt;
  JournalFileName name;
  name.machine = std::string(rest.substr(0, dash));
  rest.remove_prefix(dash);
  int64_t *parts[] = {&name.pid, &name.threadIndex, &name.startUs, &name.seq};
  for (int64_t *part : parts) {
    if (rest.empty() || rest[0] != '-') return std::nullopt;
    rest.remove_prefix(1);
    if (!file_name_detail::TakeNumber(rest, part == &name.threadIndex, part)) return std::nullopt;
  }
  if (!rest.empty()) return std::nullopt;
  return name;
}

} // namespace qrx::journal
