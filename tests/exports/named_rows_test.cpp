// Single exports whose names, orders or argument positions are easy to get wrong, checked
// against literal expectations rather than the catalogue's own rows.
#include "export_fixture.h"

namespace qrx::test {
namespace {

using Seen = std::map<std::string, std::string>;

class NamedRows : public ::testing::Test {
protected:
  // The staging name of section/key in the deployed Common.xml.
  std::string N(const char *section, const char *key) const { return s.Names().at({section, key}); }
  Recorded Last() const { return s.Record(); }
  void SetUp() override {
    ASSERT_TRUE(s.Up());
  }
  ExportStation s;
};

TEST_F(NamedRows, CalibrationArgumentsUnderTheirKeys) {
  EXPECT_EQ(GSM_NST_MeasPower(1, 2, 3), 0);
  EXPECT_EQ(Last().saw, (Seen{{N("QCal", "Band"), "1"}, {N("QCal", "Channel"), "2"},
                              {N("QCal", "PALevel"), "3"}}));
  s.ClearRecord();
  EXPECT_EQ(Check_TestInfo(3), 0);
  EXPECT_EQ(Last().saw, (Seen{{N("Cal", "FTFlag"), "3"}}));
  s.ClearRecord();
  EXPECT_EQ(Clear_TestInfo(-5), 0);
  EXPECT_EQ(Last().saw, (Seen{{N("Cal", "nClearType"), "-5"}}));
  EXPECT_EQ(Last().library, "TestDllQRXCal.so");
}

TEST_F(NamedRows, SecondExportNamesCallTheFirstName) {
  const std::pair<int (*)(), const char *> pairs[] = {
      {&FDDLTE_TxCal_800M, "FDDLTE_TxCal_7"},   {&FDDLTE_RxCal_800M, "FDDLTE_RxCal_7"},
      {&FDDLTE_TFC_800M, "FDDLTE_TFC_7"},       {&TDDLTE_TxCal_14G, "TDDLTE_TxCal_38"},
      {&TDDLTE_TxCal_18G, "TDDLTE_TxCal_39"},   {&TDDLTE_TFC_14G, "TDDLTE_TFC_38"},
      {&TDDLTE_TFC_18G, "TDDLTE_TFC_39"},       {&TDDLTE_RxCal_14G, "TDDLTE_RxCal_38"},
      {&TDDLTE_RxCal_18G, "TDDLTE_RxCal_39"},   {&DeviceRest_GSMFT, "DeviceReset"},
      {&EndMoblieTest_GSMFT, "EndMoblieTest"},  {&UnInitSerialPort_GSMFT, "UnlnitSerialPort"},
      {&UnlnitSerialPort_TDFT, "UnlnitSerialPort"}, {&Init_Instrument_LTEFT, "Init_Instrument_Lte"},
      {&UnInit_TestInterface_LTEFT, "UnInit_TestInterface_Lte"},
      {&Init_TestInterface_Ufi, "Init_TestInterface"}};
  for (const auto &[exported, function] : pairs) {
    s.ClearRecord();
    EXPECT_EQ(exported(), 0) << function;
    EXPECT_EQ(Last().function, function);
  }
}

TEST_F(NamedRows, SameFunctionNameReachesTheLibraryOfTheSuffix) {
  EXPECT_EQ(InitTestInterface_GSMFT(), 0);
  EXPECT_EQ(Last().library, "GsmFt.so");
  s.ClearRecord();
  EXPECT_EQ(InitTestInterface_TDFT(), 0);
  EXPECT_EQ(Last().library, "TDFT.so");
  EXPECT_EQ(Last().function, "InitTestInterface");
  s.ClearRecord();
  char buffer[QRX_READBACK_BUFFER_SIZE] = {};
  EXPECT_EQ(CheckBarcode_TDAT(buffer), 0);
  EXPECT_EQ(Last().library, "TDFT.so");
  s.ClearRecord();
  EXPECT_EQ(CheckBarcode_LTEAT(buffer), 0);
  EXPECT_EQ(Last().library, "FinalTestLTE.so");
  s.ClearRecord();
  EXPECT_EQ(Init_TestInterface_Ufi(), 0);
  EXPECT_EQ(Last().library, "WiFi_DLL.so");
  s.ClearRecord();
  EXPECT_EQ(Init_TestInterface(), 0);
  EXPECT_EQ(Last().library, "TestDllQRXCal.so");
}

TEST_F(NamedRows, FinalTestKeysInTheirOwnOrders) {
  EXPECT_EQ(InitDevice_GSMFT(-60.5, 1), 0);
  EXPECT_EQ(Last().saw, (Seen{{N("GSMFT", "SensitivityNumber"), "-60.500000"},
                              {N("GSMFT", "DisplayOn"), "1"}}));
  s.ClearRecord();
  EXPECT_EQ(EstablishLink_TDFT(1, 2, 3, 4, 5), 0);
  EXPECT_EQ(Last().saw, (Seen{{N("TDFT", "BandNumber"), "1"},
                              {N("TDFT", "nQuerySignalTimes"), "2"},
                              {N("TDFT", "WaitTimeBeforeDial"), "3"},
                              {N("TDFT", "RepeatDialTimes"), "4"},
                              {N("TDFT", "nWaitTimeBeforeQuerySignalStat"), "5"}}));
  s.ClearRecord();
  EXPECT_EQ(CallToDeviceBand_GSMFT(1, 2, 3, 4, 5), 0);
  EXPECT_EQ(Last().saw, (Seen{{N("GSMFT", "BandNumber"), "1"},
                              {N("GSMFT", "WaitTimeBeforeDial"), "2"},
                              {N("GSMFT", "RepeatDialTimes"), "3"},
                              {N("GSMFT", "nQuerySignalTimes"), "4"},
                              {N("GSMFT", "nWaitTimeBeforeQuerySignalStat"), "5"}}));
  s.ClearRecord();
  EXPECT_EQ(Mode_Select_TDFT(std::string(5000, 'm').c_str()), 0);
  EXPECT_EQ(Last().saw.at(N("TDFT", "mode")), std::string(5000, 'm')) << "no length limit";
  s.ClearRecord();
  EXPECT_EQ(TxOffPwr_TDFT(-12), 0);
  EXPECT_EQ(Last().saw, (Seen{{N("TDFT", "dbOffPwrUpper"), "-12"}})) << "an integer";
}

TEST_F(NamedRows, LteArgumentPositions) {
  EXPECT_EQ(LteTest_Sensitivity_LTEFT(1, 2.0, 3.0, 4.0, 5.0), 0);
  EXPECT_EQ(Last().saw, (Seen{{N("LTEFT", "IsMaxInput"), "1"},
                              {N("LTEFT", "BerLimit"), "2.000000"},
                              {N("LTEFT", "BSMaxInput"), "3.000000"},
                              {N("LTEFT", "BSRefPower"), "4.000000"},
                              {N("LTEFT", "MSPower"), "5.000000"}}));
  s.ClearRecord();
  EXPECT_EQ(RegisterCard_LTECP(5, 6), 0);
  EXPECT_EQ(Last().function, "RegisterCard_ForWuLian");
  EXPECT_EQ(Last().saw, (Seen{{N("LTEFT", "RecallTimes"), "5"}, {N("LTEFT", "RecallWait"), "6"}}));
  s.ClearRecord();
  EXPECT_EQ(RegisterCard_LTEFT(1, 5, 6), 0);
  EXPECT_EQ(Last().saw, (Seen{{N("LTEFT", "SearchPriority"), "1"},
                              {N("LTEFT", "RecallTimes"), "5"},
                              {N("LTEFT", "RecallWait"), "6"}}));
  s.ClearRecord();
  EXPECT_EQ(LteTest_MaxPwrAll_LTEFT(23.0, 21.5, 3, 4, 5, "1,2,3", 7, 8, 9, 10, 11, 12, 13, 14.0,
                                    15.0, 16.0, 17.0, 18.0),
            0);
  const Seen seen = Last().saw;
  EXPECT_EQ(seen.at(N("LTEFT", "MaxPwrLmtUpp")), "23.000000");
  EXPECT_EQ(seen.at(N("LTEFT", "MaxPwrLmtLow")), "21.500000");
  EXPECT_EQ(seen.at(N("LTEFT", "TestRBsList")), "1,2,3");
  EXPECT_EQ(seen.at(N("LTEFT", "SkipObw")), "13");
  EXPECT_EQ(seen.at(N("LTEFT", "ACLRLimitUTRA2")), "18.000000");
  EXPECT_EQ(seen.size(), 18u);
}

// Bs_Config_LTEFT stages arguments 12 to 17 first: without "Band" those six stay behind.
TEST_F(NamedRows, BsConfigWithoutBandLeavesTheSixFirstEntries) {
  StagingNames names = s.Names();
  names.erase({"LTEFT", "Band"});
  s.WriteCommon(names);
  EXPECT_EQ(Bs_Config_LTEFT(1, 2, 3.0, 4.0, 5, 6, "KI", "USIM", 9, 10, 11, 12, 13, 14, 15, 16, 17),
            1);
  EXPECT_EQ(s.Record().calls, 0);
  EXPECT_EQ(s.PresentNames(), (Seen{{N("LTEFT", "ISTDD"), "12"},
                                    {N("LTEFT", "DlChanMin"), "13"},
                                    {N("LTEFT", "DlChanMax"), "14"},
                                    {N("LTEFT", "DFrleMin"), "15"},
                                    {N("LTEFT", "UDSeparation"), "16"},
                                    {N("LTEFT", "FddUpChanMin"), "17"}}));
}

TEST_F(NamedRows, WifiArguments) {
  EXPECT_EQ(WiFi_VSGSensitivityConfig_Ufi(1, 20), 0);
  EXPECT_EQ(Last().saw, (Seen{{N("WifiCal", "RXSWITCH"), "1"}, {N("WifiCal", "RXBANDWIDTH"), "20"}}));
}

// A phone station has no WiFi service: staged WiFi exports stage first and leave their entries.
TEST(PhoneStation, WifiExportsAnswerOne) {
  ExportStation s(QRX_RECORDING_LIBRARY, "QRX");
  ASSERT_TRUE(s.Up());
  ASSERT_EQ(s.Station().wifiService, nullptr);
  EXPECT_EQ(WiFi_EnterTestMode_Ufi(), 1);
  EXPECT_TRUE(s.PresentNames().empty());
  EXPECT_EQ(WiFi_VSAConfig_Ufi(1, 40), 1);
  EXPECT_EQ(s.PresentNames(), (Seen{{s.Names().at({"WifiCal", "SWITCH"}), "1"},
                                    {s.Names().at({"WifiCal", "BANDWIDTH"}), "40"}}));
  char buffer[16] = "untouched";
  EXPECT_EQ(ReadBarcode_Ufi(buffer, 12), 1);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(s.Record().calls, 0);
  EXPECT_EQ(Init_TestInterface(), 0) << "the calibration service is there";
}

// A null text cannot be staged: the export answers 1 before staging anything.
TEST(NullTexts, StagedTextArgumentsMayBeNull) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  for (size_t row : RowsWhere([](const ExportRow &r) {
         return r.shape == ExportShape::kStaged &&
                r.arguments.find(argument_type::kText) != std::string_view::npos;
       })) {
    RowArguments a;
    MakeArguments(kExportCatalogue[row], &a, {nullptr, nullptr, true});
    s.ClearRecord();
    const int result = CallExport(row, a.call);
    SCOPED_TRACE(std::string(kExportCatalogue[row].name));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(s.Record().calls, 0);
    EXPECT_TRUE(s.PresentNames().empty());
    s.EraseAllNames();
  }
}

} // namespace
} // namespace qrx::test
