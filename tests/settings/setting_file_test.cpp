// Setting-file rules: creation, reads, writes, typed values, attributes, save on release,
// failed saves, malformed files, and stations rewriting one file from several threads.
#include "settings_fixture.h"

#include "hub/data_set.h"
#include "platform/file_system.h"

#include <atomic>
#include <climits>
#include <thread>

namespace qrx {
namespace {

using test::Boxes;
using test::kDecl;
using test::ReadBytes;
using test::WriteBytes;

class SettingFileTest : public test::SettingsFixture {};

TEST_F(SettingFileTest, MissingFolderIsNotCreatedAndLoadFailureIsShown) {
  ISettingFile *file = Open("S.xml", "NoSuchFolder");
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(std::filesystem::exists(root_ / "NoSuchFolder"));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, "QRXInterface");
  EXPECT_EQ(Boxes()[0].text, test::LoadFailedText(Root() + "NoSuchFolder" + platform::kPathSeparator + "S.xml"));
  EXPECT_EQ(file->GetValue("A", "k"), "");
  int n = 5;
  file->GetInt("A", "k", &n);
  EXPECT_EQ(n, 0);
  file->Release();
  EXPECT_EQ(Boxes().size(), 1u) << "nothing changed, nothing saved";
}

TEST_F(SettingFileTest, ReadsAddressSectionAndKeyExactlyAndTakeTheFirstOfTwins) {
  ISettingFile *file = OpenWith("R.xml", kDecl +
      "<phone>\r\n<A><k>v</k><k>second</k><e/><n><x>1</x></n></A>\r\n<A><j>other</j></A>\r\n"
      "<B><k>a &lt;b&gt; &amp; &#65;&#x42;</k><c><![CDATA[<raw> & ]]></c></B>\r\n</phone>\r\n");
  EXPECT_EQ(file->GetValue("A", "k"), "v");
  EXPECT_EQ(file->GetValue("a", "k"), "") << "section names are case-sensitive";
  EXPECT_EQ(file->GetValue("A", "K"), "") << "key names are case-sensitive";
  EXPECT_EQ(file->GetValue("A", "j"), "") << "only the first section of a name is searched";
  EXPECT_EQ(file->GetValue("A", "e"), "");
  EXPECT_EQ(file->GetValue("A", "n"), "") << "a key holding elements has no text";
  EXPECT_EQ(file->GetValue("A", "x"), "") << "only direct children of the section are keys";
  EXPECT_EQ(file->GetValue("B", "k"), "a <b> & AB");
  EXPECT_EQ(file->GetValue("B", "c"), "<raw> & ");
  EXPECT_EQ(file->GetValue("", "k"), "");
  EXPECT_EQ(file->GetValue(std::string("A\0x", 3), "k"), "") << "an embedded NUL names nothing";
  file->Release();
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(SettingFileTest, ChangingAnExistingKeyRewritesOnlyItsTextAndOnlyOnRelease) {
  const std::string before = kDecl + "<phone model=\"M\">\r\n<!-- keep -->\r\n<A>\r\n\t<k>old</k>\r\n\t<z>1</z>\r\n</A>\r\n</phone>\r\n";
  ISettingFile *file = OpenWith("W.xml", before);
  EXPECT_EQ(file->SetValue("A", "k", "new & <better>"), 0);
  EXPECT_EQ(file->GetValue("A", "k"), "new & <better>");
  EXPECT_EQ(ReadBytes(Cfg("W.xml")), before) << "nothing is written before release";
  file->Release();
  std::string after = before;
  after.replace(after.find("old"), 3, "new &amp; &lt;better&gt;");
  EXPECT_EQ(ReadBytes(Cfg("W.xml")), after);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(SettingFileTest, RefusedWritesLeaveTheFileAlone) {
  const std::string before = kDecl + "<phone><A><k><inner>1</inner></k></A></phone>";
  ISettingFile *file = OpenWith("Ref.xml", before);
  EXPECT_EQ(file->SetValue("A", "k", "flat"), -1) << "a key holding elements is not flattened";
  EXPECT_EQ(file->SetValue("", "k", "v"), -1);
  EXPECT_EQ(file->SetValue("A", "two words", "v"), -1);
  EXPECT_EQ(file->SetValue("A<", "k", "v"), -1);
  EXPECT_EQ(file->SetAttribute("A", "j", "bad name", "v"), -1);
  file->Release();
  EXPECT_EQ(ReadBytes(Cfg("Ref.xml")), before);
}

TEST_F(SettingFileTest, BooleansAndIntegers) {
  ISettingFile *file = OpenWith("T.xml", kDecl +
      "<phone><V><t1>TRUE</t1><t2>True</t2><t3>tRuE</t3><f1>1</f1><f2>true </f2><f3>yes</f3>"
      "<i1>12abc</i1><i2>abc</i2><i3> \t-7x</i3><i4>+5</i4><i5>99999999999</i5>"
      "<i6>-99999999999</i6><i7>- 3</i7></V></phone>");
  bool b = false;
  for (auto [key, expected] : {std::pair{"t1", true}, {"t2", true}, {"t3", true}, {"f1", false},
                               {"f2", false}, {"f3", false}, {"missing", false}}) {
    b = !expected;
    file->GetBool("V", key, &b);
    EXPECT_EQ(b, expected) << key;
  }
  const std::pair<const char *, int> ints[] = {{"i1", 12}, {"i2", 0},       {"i3", -7},
                                               {"i4", 5},  {"i5", INT_MAX}, {"i6", INT_MIN},
                                               {"i7", 0},  {"missing", 0}};
  for (auto [key, expected] : ints) {
    int n = 42;
    file->GetInt("V", key, &n);
    EXPECT_EQ(n, expected) << key;
  }
  EXPECT_EQ(file->SetBool("W", "on", true), 0);
  EXPECT_EQ(file->SetBool("W", "off", false), 0);
  EXPECT_EQ(file->SetInt("W", "n", -2147483647 - 1), 0);
  file->GetBool("W", "on", &b);
  EXPECT_TRUE(b);
  EXPECT_EQ(file->GetValue("W", "on"), "true");
  EXPECT_EQ(file->GetValue("W", "off"), "false");
  EXPECT_EQ(file->GetValue("W", "n"), "-2147483648");
  file->GetBool(std::string("V"), std::string("t1"), nullptr); // a null out is ignored
  file->Release();
}

TEST_F(SettingFileTest, Attributes) {
  ISettingFile *file = OpenWith("At.xml", kDecl +
      "<phone><A><k id='7' flag=\"True\" q=\"a&quot;b\" u=bare>v</k></A></phone>");
  EXPECT_EQ(file->GetAttribute("A", "k", "id"), "7");
  EXPECT_EQ(file->GetAttribute("A", "k", "i"), "") << "attribute names match whole";
  EXPECT_EQ(file->GetAttribute("A", "k", "q"), "a\"b");
  EXPECT_EQ(file->GetAttribute("A", "k", "u"), "bare");
  EXPECT_EQ(file->GetAttribute("A", "x", "id"), "");
  EXPECT_EQ(file->GetAttribute("X", "k", "id"), "");
  int n = 0;
  EXPECT_EQ(file->GetIntAttribute("A", "k", "id", &n), 0);
  EXPECT_EQ(n, 7);
  bool b = false;
  EXPECT_EQ(file->GetBoolAttribute("A", "k", "flag", &b), 0);
  EXPECT_TRUE(b);
  std::string s;
  EXPECT_EQ(file->GetAttributeTo("A", "k", "missing", &s), 0);
  EXPECT_EQ(s, "");

  EXPECT_EQ(file->SetAttribute("A", "k", "id", "8"), 0);
  EXPECT_EQ(file->SetIntAttribute("A", "new", "n", 3), 0) << "a missing key is appended";
  EXPECT_EQ(file->SetBoolAttribute("S", "key", "on", false), 0) << "a missing section too";
  EXPECT_EQ(file->SetAttribute("A", "k", "quote", "x\"<&'"), 0);
  EXPECT_EQ(file->GetAttribute("A", "k", "quote"), "x\"<&'");
  EXPECT_EQ(file->GetValue("A", "k"), "v") << "the text stays";
  file->Release();

  file = Open("At.xml");
  EXPECT_EQ(file->GetAttribute("A", "k", "id"), "8");
  EXPECT_EQ(file->GetAttribute("A", "new", "n"), "3");
  EXPECT_EQ(file->GetAttribute("S", "key", "on"), "false");
  EXPECT_EQ(file->GetAttribute("A", "k", "quote"), "x\"<&'");
  file->Release();
  const std::string saved = ReadBytes(Cfg("At.xml"));
  EXPECT_EQ(saved.find("x\"<"), std::string::npos) << "quotes and markup are escaped: " << saved;
}

TEST_F(SettingFileTest, CreationNeverOverwritesAFileThatAppearedMeanwhile) {
  std::string error;
  EXPECT_TRUE(platform::CreateFileExclusively(Cfg("X.xml"), "first", &error)) << error;
  EXPECT_FALSE(platform::CreateFileExclusively(Cfg("X.xml"), "second", &error));
  EXPECT_EQ(ReadBytes(Cfg("X.xml")), "first");
  platform::FailNext(platform::Fault::kFileWrite);
  EXPECT_FALSE(platform::CreateFileExclusively(Cfg("Y.xml"), "full disk", &error));
  EXPECT_FALSE(std::filesystem::exists(Cfg("Y.xml"))) << "nothing half-written appears";
  EXPECT_EQ(FilesInCfg(), 1u) << "no temporary file is left behind";
}

TEST_F(SettingFileTest, FailedSaveKeepsTheOldFileAndShowsTheSaveMessage) {
  const std::string before = kDecl + "<phone><A><k>old</k></A></phone>\r\n";
  for (auto fault : {platform::Fault::kFileWrite, platform::Fault::kFileRename}) {
    SCOPED_TRACE(fault == platform::Fault::kFileWrite ? "disk full" : "rename fails");
    test::ClearBoxes();
    ISettingFile *file = OpenWith("F.xml", before);
    EXPECT_EQ(file->SetValue("A", "k", "new"), 0);
    platform::FailNext(fault);
    file->Release();
    EXPECT_EQ(ReadBytes(Cfg("F.xml")), before);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, test::SaveFailedText(Cfg("F.xml")));
    EXPECT_EQ(FilesInCfg(), 1u) << "no temporary file is left behind";
  }
}

TEST_F(SettingFileTest, MalformedFilesAreReportedAndStillReadWhereParsed) {
  const std::string twoRoots = kDecl + "<phone><A><k>v</k></A></phone>\r\n<phone><B><k>w</k></B></phone>";
  ISettingFile *file = OpenWith("Bad.xml", twoRoots);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, test::LoadFailedText(Cfg("Bad.xml")));
  EXPECT_EQ(file->GetValue("A", "k"), "v");
  EXPECT_EQ(file->GetValue("B", "k"), "") << "the second top-level element is not the root";
  file->Release();
  EXPECT_EQ(ReadBytes(Cfg("Bad.xml")), twoRoots);

  test::ClearBoxes();
  for (const std::string &text : {std::string("<"), std::string(""), std::string("<phone><A><k>v"),
                                  std::string("\xFF\xFE<\0p", 4), std::string("</x></y><<<!--")}) {
    file = OpenWith("Bad.xml", text);
    file->GetValue("A", "k");
    file->GetAttribute("A", "k", "x");
    file->Release();
  }
  EXPECT_EQ(Boxes().size(), 5u) << "each broken file gets the load message";
}

TEST_F(SettingFileTest, AnExistingFileThatCannotBeReadIsNeverReplaced) {
  std::filesystem::create_directories(root_ / "BusinessCfg" / "Dir.xml" / "inside");
  ISettingFile *file = Open("Dir.xml");
  EXPECT_EQ(file->SetValue("A", "k", "v"), 0);
  file->Release();
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0].text, test::LoadFailedText(Cfg("Dir.xml")));
  EXPECT_EQ(Boxes()[1].text, test::SaveFailedText(Cfg("Dir.xml")));
  EXPECT_TRUE(std::filesystem::is_directory(root_ / "BusinessCfg" / "Dir.xml" / "inside"));
}

TEST_F(SettingFileTest, AFileWithoutReadPermissionIsNeverReplaced) {
  if (!test::ReadPermissionBinds()) GTEST_SKIP() << "no read permission to take away here";
  const std::string before = kDecl + "<phone><A><k>keep</k></A></phone>";
  WriteBytes(Cfg("Locked.xml"), before);
  std::filesystem::permissions(Cfg("Locked.xml"), std::filesystem::perms::owner_write);
  ISettingFile *file = Open("Locked.xml");
  EXPECT_EQ(file->SetValue("A", "k", "lost"), 0);
  file->Release();
  ASSERT_EQ(Boxes().size(), 2u) << "the load message, then the save message";
  std::filesystem::permissions(Cfg("Locked.xml"), std::filesystem::perms::owner_all);
  EXPECT_EQ(ReadBytes(Cfg("Locked.xml")), before);
}

TEST_F(SettingFileTest, CopySectionTakesDirectChildrenAsTextLaterTwinsWinning) {
  ISettingFile *file = OpenWith("C.xml", kDecl +
      "<phone><S>text<a>1</a><!-- c --><b>x &amp; y</b><n><deep>9</deep></n><a>2</a><e/></S>"
      "<T><z>z</z></T></phone>");
  auto *concrete = static_cast<CQRXSettingFile *>(file);
  DataSet target;
  concrete->CopySectionToDataSet(&target, "S");
  concrete->CopySectionToDataSet(&target, "Missing");
  concrete->CopySectionToDataSet(nullptr, "S");
  EXPECT_EQ(Get(&target, "a"), "2");
  EXPECT_EQ(Get(&target, "b"), "x & y");
  EXPECT_EQ(Get(&target, "n"), "") << "a child holding elements copies as empty text";
  EXPECT_EQ(Get(&target, "e"), "");
  EXPECT_FALSE(target.Contains("deep"));
  EXPECT_FALSE(target.Contains("z"));
  EXPECT_EQ(target.Size(), 4u);
  file->Release();
}

// Stations on several threads rewriting one setting file while others read it: every reader
// sees a whole file (one of the versions written), never a half-written one.
class ConcurrentSettingFiles : public test::SettingsFixture {};

TEST_F(ConcurrentSettingFiles, ReadersNeverSeeAHalfWrittenFile) {
  constexpr int kWriters = 2, kReaders = 2, kRounds = 150;
  // A long value makes a torn write likely to be seen if the file were written in place.
  const std::string padding(20000, 'p');
  std::atomic<int> badReads{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kWriters + kReaders; ++t) {
    threads.emplace_back([&, t] {
      CQRXSettingService service(Root());
      for (int i = 0; i < kRounds; ++i) {
        ISettingFile *file = service.OpenSettingFile("Shared.xml", "");
        if (t < kWriters) {
          file->SetValue("S", "Writer", std::to_string(t));
          file->SetValue("S", "Padding", padding);
          file->SetInt("S", "Round", i);
        } else if (std::string padded = file->GetValue("S", "Padding");
                   !padded.empty() && padded != padding) {
          badReads.fetch_add(1);
        }
        file->Release();
      }
    });
  }
  for (auto &t : threads) t.join();
  EXPECT_TRUE(Boxes().empty()) << "no load or save failed";
  EXPECT_EQ(badReads.load(), 0);
  ISettingFile *file = Open("Shared.xml");
  int round = -1;
  file->GetInt("S", "Round", &round);
  EXPECT_EQ(round, kRounds - 1) << "the last file released holds its last round";
  file->Release();
  EXPECT_EQ(FilesInCfg(), 1u) << "no temporary file is left behind";
}

} // namespace
} // namespace qrx
