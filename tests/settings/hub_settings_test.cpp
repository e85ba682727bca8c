// The hub's use of settings: seeding the parameter data set, Common.xml look-ups, and the
// setting, account and package services as a test library reaches them.
#include "library_hub.h"

#include "hub/qrx_package_manager_service.h"
#include "platform/file_system.h"
#include "platform/module_path.h"
#include "services/qrx_account_service.h"
#include "services/qrx_user.h"

#include <unistd.h>

namespace qrx {
namespace {

using test::Boxes;
using test::ReadBytes;
using test::WriteBytes;

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

class HubSettingsTest : public test::LibraryHubFixture {};

TEST_F(HubSettingsTest, InitializeSeedsThreadIndexConfigFileAndBothSections) {
  WriteBytes(Cfg("Station.xml"), kDecl +
      "<phone model=\"X\">\r\n<CommonConfig><a>1</a><dup>common</dup><n><deep>d</deep></n></CommonConfig>\r\n"
      "<SpecialSettings><dup>special</dup><s>x &amp; y</s></SpecialSettings>\r\n"
      "<Other><o>no</o></Other>\r\n</phone>\r\n");
  auto stamp = platform::StatFile(Cfg("Station.xml"));
  MakeHub("Station.xml", 7);
  int ti = 0;
  EXPECT_EQ(hub_->GetParameterDataSet()->GetInt("ThreadIndex", &ti), 0);
  EXPECT_EQ(ti, 7);
  EXPECT_EQ(Parameter("ThreadIndex"), "7");
  EXPECT_EQ(Parameter("ConfigFile"), "Station.xml");
  EXPECT_EQ(Parameter("a"), "1");
  EXPECT_EQ(Parameter("dup"), "special") << "SpecialSettings comes second and wins";
  EXPECT_EQ(Parameter("s"), "x & y");
  EXPECT_EQ(Parameter("n"), "");
  EXPECT_EQ(Parameter("deep"), "<absent>");
  EXPECT_EQ(Parameter("o"), "<absent>");
  EXPECT_EQ(platform::StatFile(Cfg("Station.xml")), stamp) << "seeding never rewrites the file";
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(HubSettingsTest, MissingConfigurationIsCreatedAndContributesNothing) {
  MakeHub("Fresh.xml");
  EXPECT_EQ(ReadBytes(Cfg("Fresh.xml")), kDecl + "<phone/>\r\n");
  EXPECT_EQ(static_cast<DataSet *>(hub_->GetParameterDataSet())->Size(), 2u);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(HubSettingsTest, CommonValueReadsCommonXml) {
  MakeHub("Station.xml");
  EXPECT_EQ(hub_->GetCommonValue("Cal", "nClearType"), "") << "missing Common.xml";
  EXPECT_TRUE(std::filesystem::exists(Cfg("Common.xml"))) << "and it is created";
  WriteBytes(Cfg("Common.xml"), kDecl +
      "<phone><Cal><nClearType>QCal_ClearType</nClearType><empty/></Cal><QCal><Band>QCal_Band</Band></QCal></phone>");
  EXPECT_EQ(hub_->GetCommonValue("Cal", "nClearType"), "QCal_ClearType");
  EXPECT_EQ(hub_->GetCommonValue("QCal", "Band"), "QCal_Band");
  EXPECT_EQ(hub_->GetCommonValue("Cal", "empty"), "");
  EXPECT_EQ(hub_->GetCommonValue("Cal", "Band"), "");
  EXPECT_EQ(hub_->GetCommonValue(nullptr, "Band"), "");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(HubSettingsTest, TestLibraryReadsAndWritesSettingsThroughTheHub) {
  WriteBytes(Cfg("Lib.xml"), kDecl + "<phone><Limits><Max>12dB</Max><On>True</On></Limits></phone>\r\n");
  MakeHub("Station.xml");
  ASSERT_EQ(Call("ReadSetting", {{"File", "Lib.xml"}, {"Folder", "BusinessCfg"}, {"Section", "Limits"}, {"Key", "Max"}}), 0);
  EXPECT_EQ(Result("Value"), "12dB");
  EXPECT_EQ(Result("String"), "12dB");
  EXPECT_EQ(Result("Int"), "12");
  EXPECT_EQ(Result("Bool"), "0");
  EXPECT_EQ(Result("Path"), Cfg("Lib.xml"));
  ASSERT_EQ(Call("ReadSetting", {{"Key", "On"}}), 0);
  EXPECT_EQ(Result("Bool"), "1");

  ASSERT_EQ(Call("WriteSetting", {{"Section", "Cal"}, {"Key", "Offset"}, {"Value", "-3"},
                                  {"Attribute", "unit"}, {"AttrValue", "dB"}}), 0);
  EXPECT_EQ(Result("SetResult"), "0");
  EXPECT_EQ(Result("AttrResult"), "0");
  EXPECT_EQ(Result("AttrBack"), "dB");
  EXPECT_EQ(Result("Back"), "-3");
  ASSERT_EQ(Call("ReadSetting", {{"Section", "Cal"}, {"Key", "Offset"}}), 0);
  EXPECT_EQ(Result("Int"), "-3") << "the change was saved on release and read by a new object";
  const std::string saved = ReadBytes(Cfg("Lib.xml"));
  EXPECT_EQ(saved.rfind(kDecl + "<phone><Limits><Max>12dB</Max><On>True</On></Limits>", 0), 0u)
      << "what was there is kept byte for byte: " << saved;
  EXPECT_NE(saved.find("<Offset unit=\"dB\">-3</Offset>"), std::string::npos) << saved;
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(HubSettingsTest, TestLibraryWritesABackslashFolderAsASubFolder) {
  std::filesystem::create_directories(root_ / "BusinessCfg" / "Sub");
  MakeHub("Station.xml");
  ASSERT_EQ(Call("WriteSetting", {{"File", "S.xml"}, {"Folder", "BusinessCfg\\Sub"}, {"Section", "A"},
                                  {"Key", "k"}, {"Value", "v"}}), 0);
  EXPECT_EQ(Result("SetResult"), "0");
  EXPECT_NE(ReadBytes(Cfg("Sub/S.xml")).find("<k>v</k>"), std::string::npos);
}

TEST_F(HubSettingsTest, PhoneRecordComesFromTheRootOfTheConfiguration) {
  WriteBytes(Cfg("Station.xml"), kDecl +
      "<phone model=\"SIM-X1\" mode='FT' platform=\"MTK&amp;Co\"><CommonConfig/></phone>");
  MakeHub("Station.xml");
  ASSERT_EQ(Call("ReadPhone"), 0);
  EXPECT_EQ(Result("Model"), "SIM-X1");
  EXPECT_EQ(Result("Mode"), "FT");
  EXPECT_EQ(Result("Platform"), "MTK&Co");
  EXPECT_EQ(Result("UserNumber"), "4");
  EXPECT_EQ(Result("UserCode"), "719364");
}

// The hub's two directories differ: the setting service and the account service look beside
// the library (here the deployment), the package manager beside the host executable.
class PackageTest : public HubSettingsTest {
protected:
  void SetUp() override {
    HubSettingsTest::SetUp();
    hostCfg_ = platform::ExecutableDirectory() + "BusinessCfg/";
    std::filesystem::create_directories(hostCfg_);
    prefix_ = "pkg-" + std::to_string(::getpid()) + "-";
  }
  void TearDown() override {
    for (auto &f : written_) std::filesystem::remove(f);
    HubSettingsTest::TearDown();
  }
  void Host(const std::string &name, const std::string &bytes) {
    written_.push_back(hostCfg_ + prefix_ + name);
    WriteBytes(written_.back(), bytes);
  }
  std::string Version(const std::string &name) {
    std::string result = "<not called>";
    if (Call("ReadPackage", {{"Package", prefix_ + name}}) == 0) result = Result("Version");
    return result;
  }
  std::string hostCfg_, prefix_;
  std::vector<std::string> written_;
};

TEST_F(PackageTest, ScriptNamesReadTheirConfigFile) {
  Host("Gsm.config", kDecl + "<phone ConfigVersion=\"V1.2\"><A/></phone>");
  Host("Gsm.SCRIPT", kDecl + "<phone ConfigVersion=\"upper\"/>");
  Host("Gsm", kDecl + "<phone ConfigVersion=\"bare\"/>");
  MakeHub("Station.xml");
  EXPECT_EQ(Version("Gsm.config"), "V1.2");
  EXPECT_EQ(Version("Gsm.script"), "V1.2");
  EXPECT_EQ(Version("Gsm.SCRIPT"), "upper") << "the ending compares case-sensitively";
  EXPECT_EQ(Version("Gsm"), "bare");
  EXPECT_EQ(Version("Missing.script"), "");
  EXPECT_EQ(CQRXPackageManagerService::ConfigFileName("a.b.script"), "a.b.config");
  EXPECT_EQ(CQRXPackageManagerService::ConfigFileName("a.script.txt"), "a.script.txt");
  EXPECT_EQ(hub_->GetPackageManagerService()->GetConfigVersion(nullptr), "");
  EXPECT_TRUE(Boxes().empty()) << "the package manager never shows a message";
}

TEST_F(PackageTest, OnlyAWellFormedPhoneRootCounts) {
  Host("Other.config", kDecl + "<station ConfigVersion=\"V9\"/>");
  Host("Two.config", kDecl + "<phone ConfigVersion=\"V3\"/><phone ConfigVersion=\"V4\"/>");
  Host("NoAttr.config", kDecl + "<phone Version=\"V5\"/>");
  Host("Broken.config", kDecl + "<phone ConfigVersion=\"V6\"><A></phone>");
  MakeHub("Station.xml");
  EXPECT_EQ(Version("Other.config"), "");
  EXPECT_EQ(Version("Two.config"), "");
  EXPECT_EQ(Version("NoAttr.config"), "");
  EXPECT_EQ(Version("Broken.config"), "");
}

TEST_F(PackageTest, LooksBesideTheHostNotBesideTheLibrary) {
  ASSERT_NE(Root(), platform::ExecutableDirectory());
  WriteBytes(Cfg(prefix_ + "Here.config"), kDecl + "<phone ConfigVersion=\"library\"/>");
  MakeHub("Station.xml");
  EXPECT_EQ(Version("Here.config"), "");
  Host("Here.config", kDecl + "<phone ConfigVersion=\"host\"/>");
  EXPECT_EQ(Version("Here.config"), "host");
}

TEST(AccountServiceTest, PhoneRecordsAreIndependentCopies) {
  char tmpl[] = "/tmp/qrx-account-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  std::string dir = tmpl;
  WriteBytes(dir + "/ok.xml", kDecl + "<phone model=\"M\" mode=\"D\" platform=\"P\"/>");
  WriteBytes(dir + "/other.xml", kDecl + "<station model=\"M\" mode=\"D\" platform=\"P\"/>");
  WriteBytes(dir + "/two.xml", kDecl + "<phone model=\"M\"/><phone model=\"N\"/>");
  WriteBytes(dir + "/partial.xml", kDecl + "<phone model=\"M\"/>");

  CQRXAccountService ok(dir + "/ok.xml");
  IPhone *a = ok.GetPhone();
  IPhone *b = ok.GetPhone();
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
  EXPECT_STREQ(a->GetModel(), "M");
  EXPECT_STREQ(a->GetMode(), "D");
  EXPECT_STREQ(a->GetPlatform(), "P");
  IPhone *c = a->Clone();
  a->Release();
  EXPECT_STREQ(b->GetModel(), "M") << "releasing one copy leaves the other valid";
  EXPECT_STREQ(c->GetPlatform(), "P");
  b->Release();
  c->Release();

  for (const char *name : {"/other.xml", "/two.xml", "/missing.xml"}) {
    CQRXAccountService service(dir + name);
    IPhone *p = service.GetPhone();
    ASSERT_NE(p, nullptr) << name;
    ASSERT_NE(p->GetModel(), nullptr);
    EXPECT_STREQ(p->GetModel(), "") << name;
    EXPECT_STREQ(p->GetMode(), "") << name;
    EXPECT_STREQ(p->GetPlatform(), "") << name;
    p->Release();
  }
  CQRXAccountService partial(dir + "/partial.xml");
  IPhone *p = partial.GetPhone();
  EXPECT_STREQ(p->GetModel(), "M");
  EXPECT_STREQ(p->GetMode(), "");
  p->Release();

  IUser *u1 = ok.GetUser();
  IUser *u2 = ok.GetUser();
  EXPECT_NE(u1, u2);
  EXPECT_EQ(u1->UserNumber(), 4);
  EXPECT_STREQ(static_cast<const char *>(u1->Reserved0()), "58203");
  u1->Release();
  u2->Release();
  std::filesystem::remove_all(dir);
}

} // namespace
} // namespace qrx
