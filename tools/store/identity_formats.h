// The identity values a pool hands out: IMEI with its Luhn check digit, MAC addresses inside an
// OUI block, serial numbers from a pattern with a counter.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qrx::store {

// The Luhn check digit of a string of decimal digits (the digit to append); -1 when digits is
// empty or holds anything but digits.
int LuhnCheckDigit(const std::string &digits);

// "35209900" + serial 176148 -> "352099001761481". False with *error for a TAC that is not 8
// digits or a serial outside 0..999999.
bool MakeImei(const std::string &tac, int64_t serial, std::string *imei, std::string *error);
// A 15-digit IMEI whose last digit is its Luhn check digit.
bool ValidImei(const std::string &imei);

// "00:1A:2B", "00-1a-2b" or "001A2B" -> 0x001A2B. Refuses a multicast OUI (lowest bit of the
// first octet) and a locally administered one (second-lowest bit): pools hold unicast,
// globally administered addresses only.
bool ParseOui(const std::string &text, uint32_t *oui, std::string *error);
// The device part of an address: "4096", "0x1000" or "00:10:00"; 0..0xFFFFFF.
bool ParseMacDevicePart(const std::string &text, uint32_t *value, std::string *error);
// "00:1A:2B:00:10:00".
std::string FormatMac(uint32_t oui, uint32_t devicePart);

// Serial-number patterns: literal text with one counter field "{counter}" or "{counter:W}"
// (zero-padded to W digits, 1..18), e.g. "SN-L1-{counter:6}" -> "SN-L1-000042".
struct SerialPattern {
  std::string prefix, suffix;
  int width = 0; // 0: no padding
};
bool ParseSerialPattern(const std::string &text, SerialPattern *pattern, std::string *error);
// False with *error when the counter needs more digits than the field's width.
bool ExpandSerialPattern(const SerialPattern &pattern, int64_t counter, std::string *value,
                         std::string *error);

} // namespace qrx::store
