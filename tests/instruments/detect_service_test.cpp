// Identification over the fake VISA: answers and their fields, the resource name, the PXI
// search of the locked query, VISA failures and their messages, and the bounds of every
// buffer.
#include "hub/qrx_test_tools.h"
#include "instrument_fixture.h"
#include "instruments/qrx_instrument_detect_service.h"

#include <climits>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace qrx {
namespace {

using test::Boxes;

constexpr int kVisaError = static_cast<int>(0xBFFF0000);

class DetectTest : public test::InstrumentFixture {
protected:
  InstrumentAddress At(int board, int primary) {
    return InstrumentAddress{board, primary, "before", "unchanged", false, false};
  }
  CQRXInstrumentDetectService service_;
};

// Both queries split the answer at runs of commas: the second field is the model, the
// fourth the firmware; fewer than four fields fail quietly and leave the record alone. A test
// library reaches the service through the hub, as any outside author would.
TEST_F(DetectTest, AnswerFieldsAndThePxiSearchOfTheLockedQuery) {
  CQRXTestTools *hub = new CQRXTestTools(0, "Station.xml", nullptr);
  IInstrumentDetectService *detect = static_cast<ITestTools *>(hub)->GetInstrumentDetectService();
  ASSERT_NE(detect, nullptr);
  struct Case {
    const char *answer, *model, *firmware;
  } cases[] = {
      {",,Rohde&Schwarz,,,CMW500,,,1201/123,,3.7.20,,", "CMW500", "3.7.20"},
      {"Anritsu,MT8820C, 6200 ,v 22.1", "MT8820C", "v 22.1"},
      {"Maker,CMU 200,1234", nullptr, nullptr},
      {"", nullptr, nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.answer);
    visa->answers["GPIB1::20::0::INSTR"] = c.answer;
    InstrumentAddress locked = At(1, 20), slotted = At(1, 20);
    EXPECT_EQ(detect->IdentifyInstrument(&locked), c.model ? 0 : -1);
    EXPECT_EQ(service_.IdentifyInstrumentAt(&slotted, 3), c.model ? 0 : -1);
    for (const InstrumentAddress *a : {&locked, &slotted}) {
      EXPECT_EQ(a->model, c.model ? c.model : "before");
      EXPECT_EQ(a->firmwareVersion, c.firmware ? c.firmware : "unchanged") << "no line end";
    }
  }
  hub->Release();
  EXPECT_TRUE(Boxes().empty());
  EXPECT_NE(visa->calls.find("viOpen GPIB1::20::0::INSTR 0 3000\nviClear\nviQueryf *IDN?\n %t\n"),
            std::string::npos) << visa->calls;
  EXPECT_TRUE(visa->sessions.empty()) << "every session of a query is closed before VISA is freed";
  // The slot keeps its last answer and resource name until its next query; other slots are
  // untouched.
  EXPECT_STREQ(service_.SlotQuery(3).resourceName, "GPIB1::20::0::INSTR");
  visa->answers["GPIB3::7::0::INSTR"] = "Anritsu,8820B, 6200 ,2";
  InstrumentAddress address = At(3, 7);
  ASSERT_EQ(service_.IdentifyInstrumentAt(&address, 0), 0);
  EXPECT_STREQ(service_.SlotQuery(0).resourceName, "GPIB3::7::0::INSTR");
  EXPECT_STREQ(service_.SlotQuery(0).answer, "Anritsu,8820B, 6200 ,2");
  EXPECT_STREQ(service_.SlotQuery(0).fields[0], "Anritsu");
  EXPECT_STREQ(service_.SlotQuery(0).fields[2], " 6200 ");
  EXPECT_STREQ(service_.SlotQuery(2).answer, "");
  *visa = FakeVisaControl();
  // No tester at the address: the locked query searches the PXI resources for the PXI tester,
  // the slot query does not; with none there either the message names the GPIB card.
  visa->listed.push_back("ASRL1::INSTR");
  visa->listed.push_back("PXI0::CHASSIS1"); // PXI, but no instrument
  address = At(0, 14);
  EXPECT_EQ(service_.IdentifyInstrument(&address), -1);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, test::kTesterUnreachable);
  EXPECT_EQ(Boxes()[0].caption, "QRXInterface");
  EXPECT_EQ(address.model, "before");
  EXPECT_TRUE(visa->sessions.empty());
  // A list that breaks off early finds nothing beyond what it delivered.
  test::ClearBoxes();
  visa->failing["viFindNext"] = kVisaError;
  EXPECT_EQ(service_.IdentifyInstrument(&address), -1);
  EXPECT_EQ(Boxes().size(), 1u);

  test::ClearBoxes();
  visa->failing["viFindNext"] = 0;
  visa->listed.push_back("PXI1::13::INSTR");
  InstrumentAddress slotted = At(0, 14);
  EXPECT_EQ(service_.IdentifyInstrument(&address), 0);
  EXPECT_EQ(address.model, "PXI3000");
  EXPECT_EQ(address.firmwareVersion, "unchanged");
  EXPECT_NE(visa->calls.find("viFindRsrc /?*\n"), std::string::npos);
  EXPECT_EQ(service_.IdentifyInstrumentAt(&slotted, 0), -1);
  EXPECT_EQ(slotted.model, "before");
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(visa->sessions.empty());
}

// VISA missing or failing: the locked query fails with the message of the failure (none when
// the instrument itself fails), the slot query fails silently, no session stays open.
TEST_F(DetectTest, VisaFailures) {
  struct Case {
    const char *name;
    std::function<void()> arrange;
    const std::string *box;
  } cases[] = {
      {"missing", [] { test::SetEnvironment("QRX_VISA_LIBRARY", "/nonexistent/libvisa.so"); },
       &test::kVisaLoadFailed},
      {"incomplete", [] { test::SetEnvironment("QRX_VISA_LIBRARY", QRX_FAKE_INCOMPLETE); },
       &test::kVisaLoadFailed},
      {"not loading", [] { platform::FailNext(platform::Fault::kLoadLibrary, 2); },
       &test::kVisaLoadFailed},
      {"default resource manager", [this] { visa->failing["viOpenDefaultRM"] = kVisaError; },
       &test::kDefaultRmFailed},
      {"device clear", [this] { visa->failing["viClear"] = kVisaError; }, nullptr},
      {"query", [this] { visa->failing["viQueryf"] = kVisaError; }, nullptr},
  };
  visa->answers["GPIB0::14::0::INSTR"] = "M,CMW,1,2";
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    test::ClearBoxes();
    c.arrange();
    InstrumentAddress address = At(0, 14);
    EXPECT_EQ(service_.IdentifyInstrument(&address), -1);
    ASSERT_EQ(Boxes().size(), c.box ? 1u : 0u);
    if (c.box) {
      EXPECT_EQ(Boxes()[0].text, *c.box);
    }
    EXPECT_EQ(service_.IdentifyInstrumentAt(&address, 1), -1);
    EXPECT_EQ(Boxes().size(), c.box ? 1u : 0u) << "the slot query shows nothing";
    EXPECT_EQ(address.model, "before");
    EXPECT_TRUE(visa->sessions.empty());
    if (c.box == &test::kDefaultRmFailed) {
      EXPECT_EQ(visa->calls.find("viOpen "), std::string::npos);
    }
    test::SetEnvironment("QRX_VISA_LIBRARY", QRX_FAKE_INSTRUMENTS);
    visa->failing.clear();
  }
  // After a failed load the next query loads VISA afresh.
  InstrumentAddress address = At(0, 14);
  EXPECT_EQ(service_.IdentifyInstrument(&address), 0);
  // Without the variable the platform's own name is used, which this machine lacks.
  test::SetEnvironment("QRX_VISA_LIBRARY", std::nullopt);
  EXPECT_EQ(service_.IdentifyInstrumentAt(&address, 0), -1);
}

TEST_F(DetectTest, OverlongAnswersFieldsAndAddressesAndRefusedArguments) {
  const std::string longModel(100, 'M');
  visa->answers["GPIB0::14::0::INSTR"] = "Maker," + longModel + ",1,FW";
  InstrumentAddress address = At(0, 14);
  ASSERT_EQ(service_.IdentifyInstrument(&address), 0);
  EXPECT_EQ(address.model, std::string(63, 'M')) << "a field keeps its first 63 characters";
  EXPECT_EQ(address.firmwareVersion, "FW");

  // An answer keeps its first 259 characters: here the firmware field lies beyond them.
  const std::string padding(300, 'x');
  visa->answers["GPIB0::14::0::INSTR"] = "Maker," + padding + ",1,FW";
  address = At(0, 14);
  EXPECT_EQ(service_.IdentifyInstrumentAt(&address, 0), -1);
  EXPECT_EQ(std::string(service_.SlotQuery(0).answer).size(), 259u);
  EXPECT_EQ(address.model, "before");

  // Longer than VISA's whole read buffer.
  visa->answers["GPIB0::14::0::INSTR"] = "A,B,C,D" + std::string(6000, 'y');
  address = At(0, 14);
  EXPECT_EQ(service_.IdentifyInstrument(&address), 0);
  EXPECT_EQ(address.firmwareVersion, "D" + std::string(62, 'y'));

  // Addresses too long for the resource name, refused arguments and unused slots never reach
  // VISA.
  *visa = FakeVisaControl();
  visa->listed.push_back("ASRL1::INSTR");
  address = At(INT_MIN, INT_MIN);
  EXPECT_EQ(service_.IdentifyInstrumentAt(&address, 2), -1);
  EXPECT_STREQ(service_.SlotQuery(2).resourceName, "");
  EXPECT_EQ(service_.IdentifyInstrument(&address), -1);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, test::kTesterUnreachable) << "the address is the operator's to fix";
  EXPECT_EQ(visa->calls.find("viOpen "), std::string::npos);

  // The longest name that fits: 29 characters.
  visa->answers["GPIB999999::9999999::0::INSTR"] = "M,CMW,1,2";
  address = At(999999, 9999999);
  EXPECT_EQ(service_.IdentifyInstrumentAt(&address, 1), 0);
  visa->answers["GPIB9999999::9999999::0::INSTR"] = "M,CMW,1,2";
  address = At(9999999, 9999999);
  EXPECT_EQ(service_.IdentifyInstrumentAt(&address, 1), -1) << "30 characters do not fit";

  visa->calls.clear();
  visa->answers["GPIB0::14::0::INSTR"] = "M,CMW,1,2";
  address = At(0, 14);
  for (int slot : {-1, 4, INT_MAX, INT_MIN}) EXPECT_EQ(service_.IdentifyInstrumentAt(&address, slot), -1);
  EXPECT_EQ(service_.IdentifyInstrumentAt(nullptr, 0), -1);
  EXPECT_EQ(service_.IdentifyInstrument(nullptr), -1);
  EXPECT_EQ(visa->calls, "") << "refused calls do not reach VISA";
  IInstrumentDetectService *detect = &service_;
  EXPECT_EQ(detect->Reserved2(0), -1);
  EXPECT_EQ(detect->Reserved4(), -1);
  EXPECT_EQ(detect->Reserved6(3, -3), -1);
  EXPECT_EQ(detect->Reserved0(), nullptr);
}

TEST_F(DetectTest, ParallelQueriesOnDistinctSlotsAndTheLockedQuery) {
  for (int i = 0; i < 4; ++i)
    visa->answers["GPIB0::" + std::to_string(10 + i) + "::0::INSTR"] =
        "Maker,Model" + std::to_string(i) + ",1,FW" + std::to_string(i);
  std::vector<int> failures(6, 0);
  std::vector<std::thread> threads;
  for (int slot = 0; slot < 4; ++slot)
    threads.emplace_back([&, slot] {
      for (int n = 0; n < 50; ++n) {
        InstrumentAddress a{0, 10 + slot, "", "", false, false};
        if (service_.IdentifyInstrumentAt(&a, slot) != 0 || a.model != "Model" + std::to_string(slot))
          ++failures[slot];
      }
    });
  for (int t = 4; t < 6; ++t)
    threads.emplace_back([&, t] {
      for (int n = 0; n < 50; ++n) {
        InstrumentAddress a{0, 10 + t - 4, "", "", false, false};
        if (service_.IdentifyInstrument(&a) != 0 || a.firmwareVersion != "FW" + std::to_string(t - 4))
          ++failures[t];
      }
    });
  for (auto &t : threads) t.join();
  for (int f : failures) EXPECT_EQ(f, 0);
  EXPECT_TRUE(visa->sessions.empty());
}

} // namespace
} // namespace qrx
