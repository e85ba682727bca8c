// Files of each encoding read and written by a test library through the hub's setting
// service, with the saved bytes compared to what a careful editor would have written.
#include "library_hub.h"

#include <iconv.h>

#include <cstring>

namespace qrx {
namespace {

// Independent of the library's own conversion: straight through glibc's iconv.
std::string Convert(const char *from, const char *to, const std::string &in) {
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no iconv " + std::string(to) + ">";
  std::string out(in.size() * 4 + 16, '\0');
  char *src = const_cast<char *>(in.data());
  size_t srcLeft = in.size();
  char *dst = out.data();
  size_t dstLeft = out.size();
  size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  ::iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return "<conversion failed>";
  out.resize(out.size() - dstLeft);
  return out;
}

// "中文", "文中" (both also in Shift_JIS) and "テスト" as UTF-8.
const std::string kChinese = "\u4E2D\u6587";
const std::string kTest = "\u6587\u4E2D";
const std::string kKatakana = "\u30C6\u30B9\u30C8";

struct EncodedFile {
  const char *label;
  const char *iconvName;  // encoding of the bytes on disk
  const char *bom;        // bytes of the mark, "" for none
  const char *declaration;
  std::string value;      // the value of A/k, as UTF-8
};

void PrintTo(const EncodedFile &f, std::ostream *os) { *os << f.label; }

class EncodingTest : public test::LibraryHubFixture,
                     public ::testing::WithParamInterface<EncodedFile> {
protected:
  // The document as UTF-8 text with the given text in A/n.
  std::string Document(const std::string &n) const {
    const EncodedFile &f = GetParam();
    return std::string(f.declaration) + "<phone model=\"M1\">\r\n<A>\r\n<k>" + f.value +
           "</k>\r\n<n>" + n + "</n>\r\n</A>\r\n</phone>\r\n";
  }
  std::string OnDisk(const std::string &n) const {
    const EncodedFile &f = GetParam();
    return std::string(f.bom) + Convert("UTF-8", f.iconvName, Document(n));
  }
};

TEST_P(EncodingTest, ReadAndWrittenBackInTheFilesOwnEncoding) {
  const EncodedFile &f = GetParam();
  test::WriteBytes(Cfg("Enc.xml"), OnDisk("1"));
  MakeHub("Station.xml");
  ASSERT_EQ(Call("ReadSetting", {{"File", "Enc.xml"}, {"Folder", ""}, {"Section", "A"}, {"Key", "k"}}), 0);
  EXPECT_EQ(Result("Value"), Convert("UTF-8", "GBK", f.value)) << "text is held in GBK";
  ASSERT_EQ(Call("WriteSetting", {{"Section", "A"}, {"Key", "n"}, {"Value", Convert("UTF-8", "GBK", kTest)}}), 0);
  EXPECT_EQ(Result("SetResult"), "0");
  EXPECT_EQ(test::ReadBytes(Cfg("Enc.xml")), OnDisk(kTest)) << f.label;
  EXPECT_TRUE(test::Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, EncodingTest,
    ::testing::Values(
        EncodedFile{"Utf8", "UTF-8", "", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", kChinese},
        EncodedFile{"Utf8Bom", "UTF-8", "\xEF\xBB\xBF", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", kChinese},
        EncodedFile{"Utf8Undeclared", "UTF-8", "", "", kChinese},
        EncodedFile{"Gbk", "GBK", "", "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n", kChinese},
        EncodedFile{"Gb2312", "GBK", "", "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n", kChinese},
        EncodedFile{"Utf16Le", "UTF-16LE", "\xFF\xFE", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n", kChinese},
        EncodedFile{"Utf16Be", "UTF-16BE", "\xFE\xFF", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n", kChinese},
        EncodedFile{"ShiftJis", "SHIFT_JIS", "", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n", kKatakana}),
    [](const ::testing::TestParamInfo<EncodedFile> &info) { return std::string(info.param.label); });

// A character that the ANSI code page cannot hold would come back as '?' if the file were
// written from the converted text, so the change is refused and the file kept.
class LossyFileTest : public test::LibraryHubFixture {};

TEST_F(LossyFileTest, FileWithCharactersOutsideTheCodePageIsNotRewritten) {
  const std::string before =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<phone><A><smile>\U0001F600</smile><n>1</n></A></phone>\r\n";
  test::WriteBytes(Cfg("Lossy.xml"), before);
  MakeHub("Station.xml");
  ASSERT_EQ(Call("WriteSetting", {{"File", "Lossy.xml"}, {"Section", "A"}, {"Key", "n"}, {"Value", "2"}}), 0);
  EXPECT_EQ(Result("Back"), "2");
  EXPECT_EQ(test::ReadBytes(Cfg("Lossy.xml")), before);
  ASSERT_EQ(test::Boxes().size(), 1u);
  EXPECT_EQ(test::Boxes()[0].text, test::SaveFailedText(Cfg("Lossy.xml")));
}

// "测试" (simplified, not in Shift_JIS) written into a Shift_JIS file would be saved as "??".
TEST_F(LossyFileTest, ValueTheFilesEncodingCannotHoldIsRefusedAndTheFileKept) {
  const std::string before = Convert(
      "UTF-8", "SHIFT_JIS",
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<phone><A><n>\u30C6</n></A></phone>\r\n");
  test::WriteBytes(Cfg("Sjis.xml"), before);
  MakeHub("Station.xml");
  ASSERT_EQ(Call("WriteSetting", {{"File", "Sjis.xml"}, {"Section", "A"}, {"Key", "n"},
                                  {"Value", Convert("UTF-8", "GBK", "\u6D4B\u8BD5")}}),
            0);
  EXPECT_EQ(test::ReadBytes(Cfg("Sjis.xml")), before);
  ASSERT_EQ(test::Boxes().size(), 1u);
  EXPECT_EQ(test::Boxes()[0].text, test::SaveFailedText(Cfg("Sjis.xml")));
}

} // namespace
} // namespace qrx
