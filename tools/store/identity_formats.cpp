// Formats and checks of pool identity values.
#include "identity_formats.h"

#include <cctype>
#include <cstdio>

namespace qrx::store {

int LuhnCheckDigit(const std::string &digits) {
  if (digits.empty())
    return -1;
  int sum = 0;
  bool twice = true; // the digit left of the check digit is doubled
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (!std::isdigit(static_cast<unsigned char>(*it)))
      return -1;
    int d = *it - '0';
    if (twice) {
      d *= 2;
      if (d > 9)
        d -= 9;
    }
    sum += d;
    twice = !twice;
  }
  return (10 - sum % 10) % 10;
}

bool MakeImei(const std::string &tac, int64_t serial, std::string *imei, std::string *error) {
  if (tac.size() != 8 || LuhnCheckDigit(tac) < 0) {
    if (error)
      *error = "a TAC is 8 decimal digits, not \"" + tac + "\"";
    return false;
  }
  if (serial < 0 || serial > 999999) {
    if (error)
      *error = "an IMEI serial is 0..999999, not " + std::to_string(serial);
    return false;
  }
  char body[16];
  std::snprintf(body, sizeof body, "%s%06lld", tac.c_str(), static_cast<long long>(serial));
  *imei = std::string(body) + static_cast<char>('0' + LuhnCheckDigit(body));
  return true;
}

bool ValidImei(const std::string &imei) {
  return imei.size() == 15 && LuhnCheckDigit(imei.substr(0, 14)) == imei[14] - '0';
}

namespace {

// Hex digits of text with ':' or '-' between octets removed; empty when anything else is there.
std::string HexDigits(const std::string &text) {
  std::string hex;
  for (char c : text) {
    if (c == ':' || c == '-')
      continue;
    if (!std::isxdigit(static_cast<unsigned char>(c)))
      return {};
    hex += c;
  }
  return hex;
}

} // namespace

bool ParseOui(const std::string &text, uint32_t *oui, std::string *error) {
  const std::string hex = HexDigits(text);
  if (hex.size() != 6) {
    if (error)
      *error = "an OUI is three octets such as 00:1A:2B, not \"" + text + "\"";
    return false;
  }
  const uint32_t value = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
  const uint32_t first = value >> 16;
  if (first & 0x01) {
    if (error)
      *error = "OUI " + text + " is a multicast (group) address block; station MACs are unicast";
    return false;
  }
  if (first & 0x02) {
    if (error)
      *error = "OUI " + text + " is locally administered; pools hold globally administered MACs";
    return false;
  }
  *oui = value;
  return true;
}

bool ParseMacDevicePart(const std::string &text, uint32_t *value, std::string *error) {
  unsigned long long parsed = 0;
  bool ok = !text.empty();
  if (ok && text.find(':') != std::string::npos) {
    const std::string hex = HexDigits(text);
    ok = hex.size() == 6;
    if (ok)
      parsed = std::stoull(hex, nullptr, 16);
  } else if (ok) {
    size_t used = 0;
    try {
      parsed = std::stoull(text, &used, 0);
      ok = used == text.size() && text[0] != '-';
    } catch (...) {
      ok = false;
    }
  }
  if (!ok || parsed > 0xFFFFFF) {
    if (error)
      *error = "the device part of a MAC is 0..0xFFFFFF (or 00:00:00..FF:FF:FF), not \"" + text +
               "\"";
    return false;
  }
  *value = static_cast<uint32_t>(parsed);
  return true;
}

std::string FormatMac(uint32_t oui, uint32_t devicePart) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", (oui >> 16) & 0xff,
                (oui >> 8) & 0xff, oui & 0xff, (devicePart >> 16) & 0xff,
                (devicePart >> 8) & 0xff, devicePart & 0xff);
  return text;
}

bool ParseSerialPattern(const std::string &text, SerialPattern *pattern, std::string *error) {
  auto fail = [&](const std::string &why) {
    if (error)
      *error = "serial-number pattern \"" + text + "\": " + why +
               " (write literal text and one {counter} or {counter:W} field)";
    return false;
  };
  const size_t open = text.find('{');
  if (open == std::string::npos)
    return fail("no counter field");
  const size_t close = text.find('}', open);
  if (close == std::string::npos)
    return fail("unclosed field");
  if (text.find_first_of("{}", close + 1) != std::string::npos ||
      text.substr(0, open).find('}') != std::string::npos)
    return fail("more than one field");
  const std::string field = text.substr(open + 1, close - open - 1);
  SerialPattern p;
  p.prefix = text.substr(0, open);
  p.suffix = text.substr(close + 1);
  if (field == "counter") {
    p.width = 0;
  } else if (field.rfind("counter:", 0) == 0 && field.size() > 8 && field.size() <= 10 &&
             std::isdigit(static_cast<unsigned char>(field[8])) &&
             (field.size() == 9 || std::isdigit(static_cast<unsigned char>(field[9])))) {
    p.width = std::stoi(field.substr(8));
    if (p.width < 1 || p.width > 18)
      return fail("the counter's width is 1..18");
  } else {
    return fail("unknown field {" + field + "}");
  }
  *pattern = p;
  return true;
}

bool ExpandSerialPattern(const SerialPattern &pattern, int64_t counter, std::string *value,
                         std::string *error) {
  if (counter < 0) {
    if (error)
      *error = "a serial-number counter is not negative";
    return false;
  }
  std::string digits = std::to_string(counter);
  if (pattern.width) {
    if (static_cast<int>(digits.size()) > pattern.width) {
      if (error)
        *error = "counter " + digits + " does not fit in " + std::to_string(pattern.width) +
                 " digits";
      return false;
    }
    digits.insert(0, static_cast<size_t>(pattern.width) - digits.size(), '0');
  }
  *value = pattern.prefix + digits + pattern.suffix;
  return true;
}

} // namespace qrx::store
