// The text forms CFX receivers read: date-times with their zone offset, .NET time spans, GUIDs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qrx::cfx {

class CfxFormat {
public:
  // "2026-04-20T14:03:27.512+02:00": local time with the machine's offset at that instant, up to
  // seven fraction digits without trailing zeros. wallUs is microseconds since the Unix epoch.
  static std::string DateTime(int64_t wallUs);
  // The same instant in UTC with the given offset in minutes (what DateTime uses after looking
  // the offset up).
  static std::string DateTimeWithOffset(int64_t wallUs, int offsetMinutes);
  // The same texts appended to out, for writers of long messages.
  static void AppendDateTime(std::string *out, int64_t wallUs);
  static void AppendDateTimeWithOffset(std::string *out, int64_t wallUs, int offsetMinutes);
  // .NET TimeSpan text "[-][d.]hh:mm:ss[.fffffff]": "00:01:00", "1.02:00:00.5000000".
  static std::string TimeSpan(int64_t micros);
  // A new random (version 4) GUID, lower case 8-4-4-4-12.
  static std::string NewGuid();
  // A GUID that stands for a name (version 8, RFC 9562): the same name gives the same GUID in
  // every run, so a message built again from what was recorded keeps its id. salt numbers the
  // GUIDs of one name (the measurements of a test).
  static std::string GuidFrom(std::string_view name, uint64_t salt = 0);
  static void AppendGuidFrom(std::string *out, std::string_view name, uint64_t salt = 0);
  static bool IsGuid(const std::string &text);
  static int64_t NowMicros();
};

} // namespace qrx::cfx
