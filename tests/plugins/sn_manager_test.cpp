// Phone and UFI serial-number managers against a recording fake plug-in: positions,
// arguments, thread index, success rules, verified sequences and bad input.
#include "plugin_deployment.h"

#include "sn/ssnufi_manager.h"
#include "sn/sssn_qrx_manager.h"

#include <cstring>
#include <functional>

namespace qrx::test {
namespace {
using namespace plugin;

using PhoneSn = ManagerTest<CSSSNQRXManager, false>;
using UfiSn = ManagerTest<CSSNUFIManager, true>;
using Operation = std::function<int(ISNManager &, char *)>;

// ---- phone ----------------------------------------------------------------------------

TEST_F(PhoneSn, SnAndImeiAreWrittenAsTwoVerifiedCopiesAndReadOnlyAsTwoEqualOnes) {
  EXPECT_EQ(manager->WriteSN("SN0001", 7), 0);
  EXPECT_EQ(CallsMade(), (Calls{"94(SN0001,7,3)", "106(SN0001,7,3)", "95(buf,7,3)", "107(buf,7,3)"}));
  const int steps[] = {kPhoneWriteSnFirstCopy, kPhoneWriteSnSecondCopy, kPhoneReadSnFirstCopy,
                       kPhoneReadSnSecondCopy};
  for (size_t i = 0; i < 4; ++i) {
    control->Clear();
    Script(steps[i], 1);
    EXPECT_EQ(manager->WriteSN("SN0001", 0), 1) << steps[i];
    EXPECT_EQ(CallsMade().size(), i + 1) << steps[i];
  }
  control->Clear();
  EXPECT_EQ((std::vector<int>{manager->WriteSN(std::string(50, 'A').c_str(), 0),
                              manager->WriteSN(nullptr, 0), manager->WriteSN("", 0)}),
            std::vector<int>(3, 1));
  EXPECT_TRUE(CallsMade().empty());
  EXPECT_EQ(manager->WriteSN(std::string(49, 'A').c_str(), 0), 0);
  Fill(kPhoneReadSnSecondCopy, "SN0002");
  EXPECT_EQ(manager->WriteSN("SN0001", 0), 1);
  control->Clear();
  Fill(kPhoneReadSnFirstCopy, "sn0001"); // the comparison is case-sensitive
  EXPECT_EQ(manager->WriteSN("SN0001", 0), 1);
  control->Clear();
  control->overfill[kPhoneReadSnFirstCopy] = true; // no terminator in the buffer
  EXPECT_EQ(manager->WriteSN(std::string(49, 'X').c_str(), 0), 1);
  control->Clear();
  char out[64];
  control->lastWritten = "ABC123";
  EXPECT_EQ(manager->ReadSN(out, 2), 0);
  EXPECT_STREQ(out, "ABC123");
  EXPECT_EQ(CallsMade(), (Calls{"95(buf,2,3)", "107(buf,2,3)"}));
  std::strcpy(out, "keep");
  Fill(kPhoneReadSnSecondCopy, "ABC124");
  EXPECT_EQ(manager->ReadSN(out, 2), 1);
  EXPECT_EQ(manager->ReadSN(nullptr, 2), 1);
  control->Clear();
  control->writeNothing[kPhoneReadSnFirstCopy] = control->writeNothing[kPhoneReadSnSecondCopy] = true;
  EXPECT_EQ(manager->ReadSN(out, 0), 1); // the plug-in read nothing
  control->Clear();
  control->overfill[kPhoneReadSnFirstCopy] = control->overfill[kPhoneReadSnSecondCopy] = true;
  EXPECT_EQ(manager->ReadSN(out, 0), 1);
  EXPECT_STREQ(out, "keep");
  control->Clear();
  EXPECT_EQ(manager->WriteIMEI("351234567890123", 1), 0);
  EXPECT_EQ(CallsMade(), (Calls{"96(351234567890123,1,3)", "108(351234567890123,1,3)",
                                "97(buf,1,3)", "109(buf,1,3)"}));
  EXPECT_EQ(manager->ReadIMEI(out, 1), 0);
  EXPECT_STREQ(out, "351234567890123");
  control->Clear();
  EXPECT_EQ(manager->WriteIMEI("3512345678901234", 1), 1); // 16 digits cannot be read back
  EXPECT_EQ(manager->WriteIMEI(nullptr, 1), 1);
  EXPECT_EQ(manager->WriteIMEI("", 1), 1);
  EXPECT_TRUE(CallsMade().empty());
  Script(kPhoneWriteImeiSecondCopy, 1);
  EXPECT_EQ(manager->WriteIMEI("35", 1), 1);
  EXPECT_EQ(CallsMade().size(), 2u);
  control->Clear();
  Fill(kPhoneReadImeiSecondCopy, "2");
  EXPECT_EQ(manager->ReadIMEI(out, 1), 1);
}

TEST_F(PhoneSn, TestInfoAndSingleCallOperationsPassArgumentsTheThreadIndexAndTheirRule) {
  char out[64];
  const std::pair<int, const char *> picks[] = {
      {4, "E"}, {21, "E"}, {0, "A"}, {20, "ABCDEFGHIJKLMNOPQRST"}, {22, "keep"}, {-1, "keep"}};
  for (auto [item, expected] : picks) {
    std::strcpy(out, "keep");
    EXPECT_EQ(manager->ReadTestInfo(item, out), 0) << item;
    EXPECT_STREQ(out, expected) << item;
  }
  EXPECT_EQ(CallsMade().front(), "103(20,buf,3)");
  control->overfill[kPhoneReadFlags] = true; // the whole string stays terminated
  EXPECT_EQ(manager->ReadTestInfo(20, out), 0);
  EXPECT_EQ(std::strlen(out), 40u);
  control->Clear();
  control->writeNothing[kPhoneReadFlags] = true;
  EXPECT_EQ(manager->ReadTestInfo(20, out), 1);
  control->Clear();
  Script(kPhoneReadFlags, 3);
  EXPECT_EQ(manager->ReadTestInfo(4, out), 1);
  EXPECT_EQ(manager->ReadTestInfo(4, nullptr), 1);
  control->Clear();
  const std::pair<Operation, std::string> table[] = {
      {[](ISNManager &m, char *) { return m.WriteMSN("M1", 5); }, "98(M1,5,3)"},
      {[](ISNManager &m, char *b) { return m.ReadMSN(b, 5); }, "99(buf,5,3)"},
      {[](ISNManager &m, char *b) { return m.ReadPSN16Bit(b, 5); }, "100(buf,5,3)"},
      {[](ISNManager &m, char *) { return m.WritePSN16Bit("P", 5); }, "101(P,5,3)"},
      {[](ISNManager &m, char *b) { return m.ReadIntSoftVersion(b, 5); }, "104(buf,5,3)"},
      {[](ISNManager &m, char *) { return m.ReservedOperation(9); }, "115(0,9,3)"},
      {[](ISNManager &m, char *b) { return m.ReadTestInfo_AT(4, b); }, "117(4,buf,3)"},
      {[](ISNManager &m, char *) { return m.WriteTestFlag(4, "1"); }, "118(4,1,3)"},
      {[](ISNManager &m, char *) { return m.OpenPort(1, 2); }, "2(1,2,3)"},
      {[](ISNManager &m, char *) { return m.ClosePort(); }, "3(3)"},
      {[](ISNManager &m, char *) { return m.TDDLTE_TxClose_CabLoss(); }, "54(3)"},
      {[](ISNManager &m, char *) { return m.FDDLTE_TxClose_CabLoss(); }, "76(3)"},
  };
  char buffer[64];
  for (const auto &[run, call] : table) {
    SCOPED_TRACE(call);
    control->Clear();
    EXPECT_EQ(run(*manager, buffer), 0);
    EXPECT_EQ(CallsMade(), Calls{call});
    for (int failure : {1, -1, 2}) {
      Script(std::stoi(call), failure); // the position leads the call
      EXPECT_EQ(run(*manager, buffer), 1) << failure;
    }
  }
  control->Clear();
  // The cable-loss initialisation scales its first value to 16 bits.
  EXPECT_EQ(manager->TDDLTE_TxInit_CabLoss(23, 2, 3, 4, 5, 6, 7, 8), 0);
  EXPECT_EQ(manager->FDDLTE_TxInit_CabLoss(-5, 2, 3, 4, 5, 6, 7, 8), 0);
  EXPECT_EQ(manager->FDDLTE_TxInit_CabLoss(4000, 0, 0, 0, 0, 0, 0, 0), 0); // 40000 wraps
  EXPECT_EQ(CallsMade(), (Calls{"53(230,2,3,4,5,6,7,8,0,3)", "75(-50,2,3,4,5,6,7,8,0,3)",
                                "75(-25536,0,0,0,0,0,0,0,0,3)"}));
  Script(kPhoneTddTxInitCabLoss, 1);
  EXPECT_EQ(manager->TDDLTE_TxInit_CabLoss(1, 2, 3, 4, 5, 6, 7, 8), 1);
  control->Clear();
  // The thread index is read before every call.
  std::string erase = "erase";
  hub->GetParameterDataSet()->GetString("ThreadIndex", erase);
  EXPECT_EQ(manager->ClosePort(), 0);
  hub->GetParameterDataSet()->SetInt("ThreadIndex", 12);
  EXPECT_EQ(manager->ClosePort(), 0);
  EXPECT_EQ(CallsMade(), (Calls{"3(-1)", "3(12)"}));
}

// Each manager answers 1 for the other product's operations and calls nothing.
const Operation kUfiOnly[] = {
    [](ISNManager &m, char *) { return m.WriteMAC("001122334455"); },
    [](ISNManager &m, char *b) { return m.ReadMAC(b); },
    [](ISNManager &m, char *) { return m.WriteSSID(); },
    [](ISNManager &m, char *b) { return m.ReadSSID(b); },
    [](ISNManager &m, char *b) { return m.ReadTestInfo_UFI(b); },
    [](ISNManager &m, char *b) { return m.ReadIntSoftVersion_UFI(b); }};
const Operation kPhoneOnly[] = {
    [](ISNManager &m, char *) { return m.WritePSN16Bit("1", 0); },
    [](ISNManager &m, char *b) { return m.ReadPSN16Bit(b, 0); },
    [](ISNManager &m, char *) { return m.TDDLTE_TxInit_CabLoss(1, 2, 3, 4, 5, 6, 7, 8); },
    [](ISNManager &m, char *) { return m.TDDLTE_TxClose_CabLoss(); },
    [](ISNManager &m, char *) { return m.FDDLTE_TxInit_CabLoss(1, 2, 3, 4, 5, 6, 7, 8); },
    [](ISNManager &m, char *) { return m.FDDLTE_TxClose_CabLoss(); }};

TEST_F(PhoneSn, OtherProductsOperationsAnswerOneAndCallNothing) {
  CSSNUFIManager ufi(hub);
  ASSERT_EQ(ufi.Initialize(), 1);
  PluginDeployment::Ufi()->Clear();
  char out[8] = "keep";
  for (const Operation &run : kUfiOnly) EXPECT_EQ(run(*manager, out), 1);
  for (const Operation &run : kPhoneOnly) EXPECT_EQ(run(ufi, out), 1);
  EXPECT_STREQ(out, "keep");
  EXPECT_TRUE(CallsMade().empty());
  EXPECT_TRUE(PluginDeployment::Ufi()->Calls().empty());
}

TEST_F(PhoneSn, InitPassesModelAndPhoneTypeOrAsksTheOperatorForIt) {
  EXPECT_EQ(manager->Init_TestDLL_SN(), 1);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, "QRXInterface");
  EXPECT_EQ(Boxes()[0].text.substr(Boxes()[0].text.size() - 11), "\xA3\xBA" "PhoneType");
  EXPECT_EQ(CallsMade().size(), 1u); // the model went out, the phone type did not
  control->Clear();
  SetPhoneType("QRX_A");
  EXPECT_EQ(manager->Init_TestDLL_SN(), 0);
  const Calls calls = CallsMade();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].rfind("13(", 0), 0u);
  EXPECT_EQ(calls[1], "15(QRX_A)");
  Script(kSnSetPhoneType, 4);
  EXPECT_EQ(manager->Init_TestDLL_SN(), 1);
  EXPECT_EQ(Boxes().size(), 1u);
}

// ---- UFI ------------------------------------------------------------------------------

TEST_F(UfiSn, SnIsWrittenAsThreeVerifiedCopiesThenTheDerivedMacAndReadAsThree) {
  EXPECT_EQ(manager->WriteSN("ABCDEFGHIJKLMNP", 7), 0);
  EXPECT_EQ(CallsMade(),
            (Calls{"91(ABCDEFGHIJKLMNP,7,3)", "124(ABCDEFGHIJKLMNP,7,3)", "112(ABCDEFGHIJKLMNP,3)",
                   "92(buf,7,3)", "125(buf,7,3)", "113(empty,3)", "114(888888KLMNP8,0,3)"}));
  control->Clear();
  EXPECT_EQ(manager->WriteSN("XYZ", 0), 0);
  EXPECT_EQ(CallsMade().back(), "114(888888XYZ8,0,3)");
  EXPECT_EQ(CSSNUFIManager::MacFromSn(""), "8888888");
  control->Clear();
  Script(kUfiWriteSnThirdCopy, 5); // any non-zero answer is success
  Script(kUfiWriteMac, 2);         // here too
  EXPECT_EQ(manager->WriteSN("SN1", 0), 0);
  Script(kUfiWriteMac, 0);
  EXPECT_EQ(manager->WriteSN("SN1", 0), 1);
  // Stopped at the third copy's write, its read, a third copy that differs or overflows, or
  // before anything for an overlong serial number.
  struct Stop {
    int position, result;
    std::string fill, sn;
    size_t calls;
  };
  const Stop stops[] = {{kUfiWriteSnThirdCopy, 0, "", "SN1", 3},
                        {kUfiReadSnThirdCopy, 0, "", "SN1", 6},
                        {kUfiReadSnThirdCopy, 1, "SN2", "SN1", 6},
                        {kUfiReadSnThirdCopy, 1, std::string(200, 'S'), std::string(49, 'S'), 6},
                        {kUfiReadSnThirdCopy, 1, "", std::string(50, 'S'), 0}};
  for (const Stop &stop : stops) {
    control->Clear();
    Script(stop.position, stop.result);
    if (!stop.fill.empty()) Fill(stop.position, stop.fill);
    EXPECT_EQ(manager->WriteSN(stop.sn.c_str(), 0), 1) << stop.position << " " << stop.fill;
    EXPECT_EQ(CallsMade().size(), stop.calls) << stop.position << " " << stop.fill;
  }
  control->Clear();
  char out[64];
  control->lastWritten = "U1";
  EXPECT_EQ(manager->ReadSN(out, 4), 0);
  EXPECT_STREQ(out, "U1");
  EXPECT_EQ(CallsMade(), (Calls{"92(buf,4,3)", "125(buf,4,3)", "113(empty,3)"}));
  Fill(kUfiReadSnThirdCopy, "U2");
  EXPECT_EQ(manager->ReadSN(out, 4), 1);
}

TEST_F(UfiSn, OwnAndSharedOperations) {
  EXPECT_EQ(manager->OpenPort(4, 115200), 0);
  EXPECT_EQ(CallsMade(), (Calls{"2(4,115200,0)", "109(3)", "110(3)", "116(3)"}));
  const std::pair<int, int> steps[] = {{kUfiOpenPort, 1}, {kUfiPortCheck1, 2},
                                       {kUfiPortCheck2, 3}, {kUfiPortCheck3, 4}};
  for (auto [position, code] : steps) {
    // The port opening fails on non-zero, the checks on anything but exactly 1.
    for (int answer : position == kUfiOpenPort ? std::vector<int>{-1} : std::vector<int>{0, 2}) {
      control->Clear();
      Script(position, answer);
      EXPECT_EQ(manager->OpenPort(4, 1), code) << position << " " << answer;
    }
  }
  control->Clear();
  EXPECT_EQ(manager->WriteMAC("00:11:22:33:44:55"), 0);
  EXPECT_EQ(CallsMade(), Calls{"114(00:11:22:33:44:55,0,3)"});
  char out[64];
  EXPECT_EQ(manager->ReadMAC(out), 0);
  EXPECT_STREQ(out, "00:11:22:33:44:55");
  Script(kUfiWriteMac, 2);
  Script(kUfiReadMac, 2);
  EXPECT_EQ(manager->WriteMAC("00"), 1);
  std::strcpy(out, "keep");
  EXPECT_EQ(manager->ReadMAC(out), 1);
  control->Clear();
  EXPECT_EQ((std::vector<int>{manager->WriteMAC(std::string(64, 'A').c_str()),
                              manager->WriteMAC(""), manager->WriteMAC(nullptr),
                              manager->ReadMAC(nullptr)}),
            std::vector<int>(4, 1));
  EXPECT_TRUE(CallsMade().empty());
  Fill(kUfiReadMac, std::string(64, 'A'));
  EXPECT_EQ(manager->ReadMAC(out), 1);
  control->writeNothing[kUfiReadMac] = true; // success answered, nothing read
  EXPECT_EQ(manager->ReadMAC(out), 1);
  EXPECT_STREQ(out, "keep");

  control->Clear();
  EXPECT_EQ(manager->WriteSSID(), 0);
  Fill(kUfiReadSsid, "LINE-7");
  Script(kUfiReadSsid, 9);
  EXPECT_EQ(manager->ReadSSID(out), 0);
  EXPECT_STREQ(out, "LINE-7");
  EXPECT_EQ(CallsMade(), (Calls{"117(3)", "119(empty,3)"}));
  Script(kUfiReadSsid, 0);
  Script(kUfiWriteSsid, 2);
  EXPECT_EQ(manager->ReadSSID(out), 1);
  EXPECT_EQ(manager->WriteSSID(), 1);
  control->Clear();
  // The UFI forms read into the caller's buffer and succeed on non-zero; the shared operations
  // use the UFI positions.
  Fill(kUfiReadIntSoftVersionUfi, "V2.1");
  EXPECT_EQ(manager->ReadTestInfo_UFI(out), 0);
  EXPECT_EQ(manager->ReadIntSoftVersion_UFI(out), 0);
  EXPECT_STREQ(out, "V2.1");
  EXPECT_EQ(CallsMade(), (Calls{"123(buf,3)", "122(buf,3)"}));
  Script(kUfiReadTestInfoUfi, -4);
  EXPECT_EQ(manager->ReadTestInfo_UFI(out), 0);
  Script(kUfiReadTestInfoUfi, 0);
  Script(kUfiReadIntSoftVersionUfi, 0);
  EXPECT_EQ((std::vector<int>{manager->ReadTestInfo_UFI(out), manager->ReadIntSoftVersion_UFI(out),
                              manager->ReadTestInfo_UFI(nullptr)}),
            std::vector<int>(3, 1));
  EXPECT_EQ(CallsMade().size(), 5u);
  control->Clear();
  char imei[64], info[64];
  EXPECT_EQ((std::vector<int>{manager->WriteIMEI("8612", 1), manager->ReadIMEI(imei, 1),
                              manager->ReadTestInfo(21, info), manager->WriteMSN("M", 2),
                              manager->ReadMSN(out, 2), manager->ReadIntSoftVersion(out, 2),
                              manager->ReservedOperation(6), manager->ReadTestInfo_AT(3, out),
                              manager->WriteTestFlag(4, "1"), manager->ClosePort()}),
            std::vector<int>(10, 0));
  EXPECT_STREQ(imei, "8612");
  EXPECT_STREQ(info, "E");
  EXPECT_EQ(CallsMade(),
            (Calls{"94(8612,1,3)", "126(8612,1,3)", "96(buf,1,3)", "127(buf,1,3)", "96(buf,1,3)",
                   "127(buf,1,3)", "106(20,buf,3)", "98(M,2,3)", "100(buf,2,3)", "107(buf,2,3)",
                   "134(0,6,3)", "136(3,buf,3)", "137(4,1,3)", "3(3)"}));
}

} // namespace
} // namespace qrx::test
