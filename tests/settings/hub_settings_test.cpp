// The hub's use of settings: seeding the parameter data set, Common.xml look-ups, the
// setting, account and package services as a test library reaches them, and setting files of
// each encoding read and written back through them.
#include "settings_fixture.h"

#include "hub/qrx_package_manager_service.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/module_path.h"
#include "platform/process.h"
#include "services/qrx_account_service.h"
#include "services/qrx_user.h"


namespace qrx {
namespace {

using test::Boxes;
using test::kDecl;
using test::ReadBytes;
using test::WriteBytes;

class HubSettingsTest : public test::SettingsFixture {};

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

// A missing configuration is created and contributes nothing; so is a missing Common.xml.
TEST_F(HubSettingsTest, MissingConfigurationAndCommonValues) {
  MakeHub("Station.xml");
  EXPECT_EQ(ReadBytes(Cfg("Station.xml")), kDecl + "<phone/>\r\n");
  EXPECT_EQ(static_cast<DataSet *>(hub_->GetParameterDataSet())->Size(), 2u);
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
  // A folder written with a backslash is a sub-folder.
  std::filesystem::create_directories(root_ / "BusinessCfg" / "Sub");
  ASSERT_EQ(Call("WriteSetting", {{"File", "S.xml"}, {"Folder", "BusinessCfg\\Sub"}, {"Attribute", ""}}), 0);
  EXPECT_EQ(Result("SetResult"), "0");
  EXPECT_NE(ReadBytes(Cfg("Sub/S.xml")).find("<Offset>-3</Offset>"), std::string::npos);
  EXPECT_TRUE(Boxes().empty());
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
    prefix_ = "pkg-" + std::to_string(platform::CurrentProcessId()) + "-";
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

// A script's version is the ConfigVersion of its ".config" file's well-formed phone root.
TEST_F(PackageTest, ScriptNamesReadTheirConfigFileBesideTheHost) {
  Host("Gsm.config", kDecl + "<phone ConfigVersion=\"V1.2\"><A/></phone>");
  Host("Gsm.SCRIPT", kDecl + "<phone ConfigVersion=\"upper\"/>");
  Host("Gsm", kDecl + "<phone ConfigVersion=\"bare\"/>");
  ASSERT_NE(Root(), platform::ExecutableDirectory());
  WriteBytes(Cfg(prefix_ + "Here.config"), kDecl + "<phone ConfigVersion=\"library\"/>");
  MakeHub("Station.xml");
  EXPECT_EQ(Version("Gsm.config"), "V1.2");
  EXPECT_EQ(Version("Gsm.script"), "V1.2");
  EXPECT_EQ(Version("Gsm.SCRIPT"), "upper") << "the ending compares case-sensitively";
  EXPECT_EQ(Version("Gsm"), "bare");
  EXPECT_EQ(Version("Missing.script"), "");
  EXPECT_EQ(Version("Here.config"), "") << "not beside the library";
  Host("Here.config", kDecl + "<phone ConfigVersion=\"host\"/>");
  EXPECT_EQ(Version("Here.config"), "host");
  EXPECT_EQ(CQRXPackageManagerService::ConfigFileName("a.b.script"), "a.b.config");
  EXPECT_EQ(CQRXPackageManagerService::ConfigFileName("a.script.txt"), "a.script.txt");
  EXPECT_EQ(hub_->GetPackageManagerService()->GetConfigVersion(nullptr), "");
  for (const char *root : {"<station ConfigVersion=\"V9\"/>", "<phone Version=\"V5\"/>",
                           "<phone ConfigVersion=\"V3\"/><phone ConfigVersion=\"V4\"/>",
                           "<phone ConfigVersion=\"V6\"><A></phone>"}) {
    Host("Odd.config", kDecl + root);
    EXPECT_EQ(Version("Odd.config"), "") << root;
  }
  EXPECT_TRUE(Boxes().empty()) << "the package manager never shows a message";
}

TEST_F(HubSettingsTest, AccountPhoneRecordsAreIndependentCopies) {
  const std::string dir = root_.string();
  WriteBytes(dir + "/ok.xml", kDecl + "<phone model=\"M\" mode=\"D\" platform=\"P\"/>");
  CQRXAccountService ok(dir + "/ok.xml");
  IPhone *a = ok.GetPhone();
  IPhone *b = ok.GetPhone();
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
  IPhone *c = a->Clone();
  a->Release();
  EXPECT_STREQ(b->GetModel(), "M") << "releasing one copy leaves the other valid";
  EXPECT_STREQ(c->GetPlatform(), "P");
  b->Release();
  c->Release();
  IUser *u1 = ok.GetUser();
  IUser *u2 = ok.GetUser();
  EXPECT_NE(u1, u2);
  EXPECT_STREQ(static_cast<const char *>(u1->Reserved0()), "58203");
  u1->Release();
  u2->Release();

  // Another root, two roots, no file, attributes missing: empty texts, never null.
  const std::pair<const char *, std::string> odd[] = {
      {"/other.xml", "<station model=\"M\" mode=\"D\" platform=\"P\"/>"},
      {"/two.xml", "<phone model=\"M\"/><phone model=\"N\"/>"},
      {"/missing.xml", ""},
      {"/partial.xml", "<phone model=\"M\"/>"}};
  for (const auto &[name, root] : odd) {
    if (!root.empty()) WriteBytes(dir + name, kDecl + root);
    CQRXAccountService service(dir + name);
    IPhone *p = service.GetPhone();
    ASSERT_NE(p, nullptr) << name;
    ASSERT_TRUE(p->GetModel() && p->GetMode() && p->GetPlatform());
    EXPECT_STREQ(p->GetModel(), std::string(name) == "/partial.xml" ? "M" : "") << name;
    EXPECT_STREQ(p->GetMode(), "") << name;
    EXPECT_STREQ(p->GetPlatform(), "") << name;
    p->Release();
  }
}

// The tests' UTF-8 text in a file's encoding: through the conversions that the code-page tests
// hold against Windows' own, UTF-16 (1200, 1201 big-endian) by hand.
std::string Encode(int codePage, const std::string &utf8) {
  std::string out;
  if (codePage != 1200 && codePage != 1201) {
    EXPECT_TRUE(platform::ConvertCodePage(65001, codePage, utf8, &out, nullptr)) << codePage;
    return out;
  }
  std::u16string wide;
  EXPECT_TRUE(platform::MultiByteToWide(65001, utf8, &wide, nullptr));
  for (char16_t c : wide) {
    const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    out += codePage == 1201 ? std::string{high, low} : std::string{low, high};
  }
  return out;
}

// "中文", "文中" (both also in Shift_JIS) and "テスト" as UTF-8.
const std::string kChinese = "\u4E2D\u6587";
const std::string kTest = "\u6587\u4E2D";
const std::string kKatakana = "\u30C6\u30B9\u30C8";

TEST_F(HubSettingsTest, FilesOfEachEncodingAreReadAndWrittenBackInTheirOwn) {
  const struct {
    int codePage;          // of the bytes on disk
    const char *bom;       // bytes of the mark, "" for none
    const char *declared;  // the declaration's encoding, "" for no declaration
    const std::string &value; // the value of A/k, as UTF-8
  } files[] = {
      {65001, "", "UTF-8", kChinese},        {65001, "\xEF\xBB\xBF", "UTF-8", kChinese},
      {65001, "", "", kChinese},             {936, "", "GBK", kChinese},
      {936, "", "gb2312", kChinese},         {1200, "\xFF\xFE", "UTF-16", kChinese},
      {1201, "\xFE\xFF", "UTF-16", kChinese}, {932, "", "Shift_JIS", kKatakana},
  };
  MakeHub("Station.xml");
  for (const auto &f : files) {
    SCOPED_TRACE(std::to_string(f.codePage) + (*f.bom ? " with mark" : "") + ", declared " + f.declared);
    // The document with the given text in A/n, as the file holds it.
    auto onDisk = [&](const std::string &n) {
      const std::string declaration =
          *f.declared ? "<?xml version=\"1.0\" encoding=\"" + std::string(f.declared) + "\"?>\r\n" : "";
      return f.bom + Encode(f.codePage, declaration + "<phone model=\"M1\">\r\n<A>\r\n<k>" +
                                                       f.value + "</k>\r\n<n>" + n + "</n>\r\n</A>\r\n</phone>\r\n");
    };
    WriteBytes(Cfg("Enc.xml"), onDisk("1"));
    ASSERT_EQ(Call("ReadSetting", {{"File", "Enc.xml"}, {"Folder", ""}, {"Section", "A"}, {"Key", "k"}}), 0);
    EXPECT_EQ(Result("Value"), Encode(936, f.value)) << "text is held in GBK";
    ASSERT_EQ(Call("WriteSetting", {{"Section", "A"}, {"Key", "n"}, {"Value", Encode(936, kTest)}}), 0);
    EXPECT_EQ(Result("SetResult"), "0");
    EXPECT_EQ(ReadBytes(Cfg("Enc.xml")), onDisk(kTest));
  }
  EXPECT_TRUE(Boxes().empty());
}

// A character that the ANSI code page cannot hold would come back as '?' if the file were
// written from the converted text; "测试" (simplified, not in Shift_JIS) written into a Shift_JIS
// file would be saved as "??". Either way the change is refused and the file kept.
TEST_F(HubSettingsTest, TextEitherEncodingCannotHoldIsRefusedAndTheFileKept) {
  const struct {
    const char *file;
    std::string before, value;
  } cases[] = {
      {"Lossy.xml", kDecl + "<phone><A><smile>\U0001F600</smile><n>1</n></A></phone>\r\n", "2"},
      {"Sjis.xml",
       Encode(932,
               "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<phone><A><n>\u30C6</n></A></phone>\r\n"),
       Encode(936, "\u6D4B\u8BD5")},
  };
  MakeHub("Station.xml");
  for (const auto &c : cases) {
    SCOPED_TRACE(c.file);
    test::ClearBoxes();
    WriteBytes(Cfg(c.file), c.before);
    ASSERT_EQ(Call("WriteSetting", {{"File", c.file}, {"Section", "A"}, {"Key", "n"}, {"Value", c.value}}), 0);
    EXPECT_EQ(Result("Back"), c.value);
    EXPECT_EQ(ReadBytes(Cfg(c.file)), c.before);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, test::SaveFailedText(Cfg(c.file)));
  }
}

} // namespace
} // namespace qrx
