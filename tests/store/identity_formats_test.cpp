// IMEI check digits, OUI blocks and serial-number patterns.
#include "identity_formats.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

using namespace qrx::store;

TEST(IdentityFormats, ImeiCheckDigitsOfPublishedExamples) {
  // 7992739871 is the classic Luhn example.
  for (auto [digits, check] : {std::pair{"49015420323751", 8}, {"35209900176148", 1}, {"35693803564380", 9},
                               {"7992739871", 3}, {"", -1}, {"12a4", -1}})
    EXPECT_EQ(LuhnCheckDigit(digits), check) << digits;

  std::string imei, error;
  for (auto [tac, serial, made] : {std::tuple{"35209900", 176148, "352099001761481"},
                                   {"49015420", 323751, "490154203237518"}}) {
    ASSERT_TRUE(MakeImei(tac, serial, &imei, &error)) << error;
    EXPECT_EQ(imei, made);
  }
  ASSERT_TRUE(MakeImei("35209900", 0, &imei, &error));
  EXPECT_EQ(imei.substr(0, 14), "35209900000000");
  EXPECT_TRUE(ValidImei(imei));
  EXPECT_TRUE(ValidImei("356938035643809"));
  EXPECT_FALSE(ValidImei("356938035643808"));
  EXPECT_FALSE(ValidImei("35693803564380"));
}

TEST(IdentityFormats, ImeiRefusesBadTacAndSerial) {
  std::string imei, error;
  for (auto [tac, serial, why] : {std::tuple{"3520990", 1, "8 decimal digits"},
                                  {"3520990X", 1, ""}, {"35209900", 1000000, ""}, {"35209900", -1, ""}}) {
    EXPECT_FALSE(MakeImei(tac, serial, &imei, &error)) << tac << " " << serial;
    EXPECT_NE(error.find(why), std::string::npos) << error;
  }
  EXPECT_TRUE(imei.empty());
}

TEST(IdentityFormats, MacBlocksAreUnicastAndGloballyAdministered) {
  uint32_t oui = 0, part = 0;
  std::string error;
  for (auto [text, value] : {std::pair{"00:1A:2B", 0x001A2Bu}, {"ac-de-48", 0xACDE48u}}) {
    ASSERT_TRUE(ParseOui(text, &oui, &error)) << error;
    EXPECT_EQ(oui, value);
  }
  for (auto [bad, why] : {std::pair{"01:00:5E", "multicast"}, {"02:00:00", "locally administered"},
                          {"00:1A", ""}, {"00:1A:2G", ""}}) {
    EXPECT_FALSE(ParseOui(bad, &oui, &error)) << bad;
    EXPECT_NE(error.find(why), std::string::npos) << error;
  }
  for (auto [text, value] : {std::pair{"0x10", 16u}, {"00:01:00", 256u}, {"16777215", 16777215u}}) {
    ASSERT_TRUE(ParseMacDevicePart(text, &part, &error)) << text;
    EXPECT_EQ(part, value);
  }
  for (const char *bad : {"16777216", "-1", "12x", ""}) EXPECT_FALSE(ParseMacDevicePart(bad, &part, &error)) << bad;
  EXPECT_EQ(FormatMac(0x001A2B, 0xABCDEF), "00:1A:2B:AB:CD:EF");
}

TEST(IdentityFormats, SerialPatterns) {
  SerialPattern p;
  std::string value, error;
  ASSERT_TRUE(ParseSerialPattern("SN-L1-{counter:6}-X", &p, &error)) << error;
  ASSERT_TRUE(ExpandSerialPattern(p, 42, &value, &error));
  EXPECT_EQ(value, "SN-L1-000042-X");
  EXPECT_FALSE(ExpandSerialPattern(p, 1000000, &value, &error)); // would be 7 digits
  EXPECT_NE(error.find("does not fit"), std::string::npos);
  ASSERT_TRUE(ParseSerialPattern("{counter}", &p, &error));
  ASSERT_TRUE(ExpandSerialPattern(p, 1234567, &value, &error));
  EXPECT_EQ(value, "1234567");
  for (const char *bad : {"SN", "SN{counter", "SN{station}{counter:6}", "{counter:0}",
                          "{counter:19}", "{counter:x}", "A}{counter}", "{counter}{counter}"})
    EXPECT_FALSE(ParseSerialPattern(bad, &p, &error)) << bad;
}
