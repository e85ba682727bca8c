// Date-time, time-span and GUID texts as Json.NET writes them for .NET receivers.
#include "cfx_format.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <random>

namespace qrx::cfx {

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int *year, unsigned *month, unsigned *day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *day = doy - (153 * mp + 2) / 5 + 1;
  *month = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (*month <= 2));
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Offset of local time from UTC at that second, in minutes. The C library's calls share one
// buffer, hence the lock.
int LocalOffsetMinutes(int64_t seconds) {
  static std::mutex lock;
  std::lock_guard<std::mutex> hold(lock);
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm *local = std::localtime(&t);
  if (!local) return 0;
  std::tm l = *local;
  std::tm *utc = std::gmtime(&t);
  if (!utc) return 0;
  std::tm g = *utc;
  int dayDelta = l.tm_year != g.tm_year ? (l.tm_year > g.tm_year ? 1 : -1) : l.tm_yday - g.tm_yday;
  return dayDelta * 1440 + (l.tm_hour - g.tm_hour) * 60 + (l.tm_min - g.tm_min);
}

// Two-digit fields and the like, written without the C library's formatting.
char *Digits(char *at, unsigned value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    at[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return at + width;
}

} // namespace

int64_t CfxFormat::NowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string CfxFormat::DateTime(int64_t wallUs) {
  std::string out;
  AppendDateTime(&out, wallUs);
  return out;
}

void CfxFormat::AppendDateTime(std::string *out, int64_t wallUs) {
  // Offsets change on quarter hours at most: one look-up per quarter hour and thread, since a
  // unit's hundreds of measurements share one.
  thread_local int64_t cachedQuarter = INT64_MIN;
  thread_local int cachedOffset = 0;
  const int64_t seconds = FloorDiv(wallUs, 1000000);
  if (const int64_t quarter = FloorDiv(seconds, 900); quarter != cachedQuarter) {
    cachedOffset = LocalOffsetMinutes(seconds);
    cachedQuarter = quarter;
  }
  AppendDateTimeWithOffset(out, wallUs, cachedOffset);
}

std::string CfxFormat::DateTimeWithOffset(int64_t wallUs, int offsetMinutes) {
  std::string out;
  AppendDateTimeWithOffset(&out, wallUs, offsetMinutes);
  return out;
}

void CfxFormat::AppendDateTimeWithOffset(std::string *out, int64_t wallUs, int offsetMinutes) {
  const int64_t localUs = wallUs + static_cast<int64_t>(offsetMinutes) * 60000000;
  const int64_t seconds = FloorDiv(localUs, 1000000);
  const int64_t micros = localUs - seconds * 1000000;
  const int64_t days = FloorDiv(seconds, 86400);
  const unsigned secondOfDay = static_cast<unsigned>(seconds - days * 86400);
  int year = 0;
  unsigned month = 0, day = 0;
  CivilFromDays(days, &year, &month, &day);
  char text[48];
  char *at = text;
  if (year < 0 || year > 9999) { // never on a station's clock; kept readable all the same
    at += std::snprintf(at, 16, "%04d", year);
  } else {
    at = Digits(at, static_cast<unsigned>(year), 4);
  }
  *at++ = '-';
  at = Digits(at, month, 2);
  *at++ = '-';
  at = Digits(at, day, 2);
  *at++ = 'T';
  at = Digits(at, secondOfDay / 3600, 2);
  *at++ = ':';
  at = Digits(at, secondOfDay / 60 % 60, 2);
  *at++ = ':';
  at = Digits(at, secondOfDay % 60, 2);
  if (micros != 0) { // up to seven digits of 100 ns ticks, without trailing zeros
    *at++ = '.';
    at = Digits(at, static_cast<unsigned>(micros * 10), 7);
    while (at[-1] == '0') --at;
  }
  if (offsetMinutes == 0) {
    *at++ = 'Z';
  } else {
    const unsigned magnitude = static_cast<unsigned>(offsetMinutes < 0 ? -offsetMinutes : offsetMinutes);
    *at++ = offsetMinutes < 0 ? '-' : '+';
    at = Digits(at, magnitude / 60 % 100, 2);
    *at++ = ':';
    at = Digits(at, magnitude % 60, 2);
  }
  out->append(text, static_cast<size_t>(at - text));
}

std::string CfxFormat::TimeSpan(int64_t micros) {
  std::string out;
  if (micros < 0) {
    out = "-";
    micros = -micros;
  }
  const int64_t seconds = micros / 1000000;
  const int64_t days = seconds / 86400;
  if (days > 0) out += std::to_string(days) + ".";
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600 % 24),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  out += text;
  // .NET writes a time span's fraction with all seven digits.
  if (const int64_t ticks = (micros % 1000000) * 10; ticks != 0) {
    std::snprintf(text, sizeof text, ".%07lld", static_cast<long long>(ticks));
    out += text;
  }
  return out;
}

namespace {

void AppendGuidText(std::string *out, uint64_t hi, uint64_t lo) {
  static constexpr char kHex[] = "0123456789abcdef";
  char text[36];
  int at = 0;
  for (int nibble = 15; nibble >= 0; --nibble) {
    if (at == 8 || at == 13) text[at++] = '-';
    text[at++] = kHex[hi >> (nibble * 4) & 0xF];
  }
  for (int nibble = 15; nibble >= 0; --nibble) {
    if (at == 18 || at == 23) text[at++] = '-';
    text[at++] = kHex[lo >> (nibble * 4) & 0xF];
  }
  out->append(text, sizeof text);
}

std::string GuidText(uint64_t hi, uint64_t lo) {
  std::string out;
  AppendGuidText(&out, hi, lo);
  return out;
}

uint64_t Mix(uint64_t x) { // the finalizer of splitmix64: every input bit reaches every output bit
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

} // namespace

std::string CfxFormat::GuidFrom(std::string_view name, uint64_t salt) {
  std::string out;
  AppendGuidFrom(&out, name, salt);
  return out;
}

void CfxFormat::AppendGuidFrom(std::string *out, std::string_view name, uint64_t salt) {
  // Two independent 64-bit lanes over the name, eight bytes at a time.
  uint64_t a = 0x6a09e667f3bcc908ULL ^ name.size(), b = 0xbb67ae8584caa73bULL ^ Mix(salt);
  size_t i = 0;
  for (; i + 8 <= name.size(); i += 8) {
    uint64_t word = 0;
    for (int k = 7; k >= 0; --k) word = word << 8 | static_cast<unsigned char>(name[i + size_t(k)]);
    a = Mix(a ^ word) + 0x9e3779b97f4a7c15ULL;
    b = Mix(b + word) ^ 0xc2b2ae3d27d4eb4fULL;
  }
  uint64_t tail = 0;
  for (size_t k = name.size(); k > i; --k) tail = tail << 8 | static_cast<unsigned char>(name[k - 1]);
  a = Mix(a ^ tail ^ salt);
  b = Mix(b + tail + 0x165667b19e3779f9ULL);
  uint64_t hi = Mix(a ^ (b >> 1)), lo = Mix(b ^ (a << 1));
  hi = (hi & ~0xF000ULL) | 0x8000ULL;                                   // version 8
  lo = (lo & ~0xC000000000000000ULL) | 0x8000000000000000ULL;           // RFC variant
  AppendGuidText(out, hi, lo);
}

std::string CfxFormat::NewGuid() {
  static thread_local std::mt19937_64 random{
      std::random_device{}() ^
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
  uint64_t hi = random(), lo = random();
  hi = (hi & ~0xF000ULL) | 0x4000ULL;
  lo = (lo & ~0xC000000000000000ULL) | 0x8000000000000000ULL;
  return GuidText(hi, lo);
}

bool CfxFormat::IsGuid(const std::string &text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return false;
    } else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
      return false;
    }
  }
  return true;
}

} // namespace qrx::cfx
