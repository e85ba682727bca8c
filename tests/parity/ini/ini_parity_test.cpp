// Our INI writer against the system's own WritePrivateProfileStringA run under Wine, case by case.
// "--prepare <dir>" writes the cases and our results for the reference run; without it the
// program is the test suite that compares the two.
#include "platform/code_page.h"
#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include "../../support/temp_folder.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace qrx::parity {
namespace {

// One call: a null key removes the section, a null value removes the key.
struct IniOperation {
  std::string section;
  std::optional<std::string> key;
  std::optional<std::string> value;
};

struct IniCase {
  std::string name;                // what the case tries, for failure messages
  std::optional<std::string> file; // contents before the calls; no file when empty
  std::vector<IniOperation> operations;
  // Where Wine is known to answer differently from Windows: the bytes Windows leaves, and
  // why. Such a case is not compared with Wine but with these bytes.
  std::optional<std::string> windowsResult;
  std::string wineDiffers;
};

// The cases: a few file shapes rendered with every line end and kind of blank, in GBK and
// UTF-16, each with the writes and deletions that shape invites.
// GBK names whose trail bytes are ASCII letters or ']' (all in the fully assigned GBK/3 rows).
const std::string kGbkUpper = "\x81\x41\x81\x42"; // trail bytes 'A' 'B'
const std::string kGbkLower = "\x81\x61\x81\x62"; // the same lead bytes, trail bytes 'a' 'b'
const std::string kGbkBracket = "\x81\x5d";       // trail byte ']'
const std::string kGbkTest = "\xb2\xe2\xca\xd4";  // "test"
const std::string kGbkResult = "\xbd\xe1\xb9\xfb"; // "result"

enum class Kind { Header, Key, Bare, Comment, Blank };

struct Line {
  Kind kind;
  std::string name;
  std::string value;
};

Line H(std::string name) { return {Kind::Header, std::move(name), {}}; }
Line K(std::string name, std::string value) { return {Kind::Key, std::move(name), std::move(value)}; }
Line B(std::string name) { return {Kind::Bare, std::move(name), {}}; }
Line C(std::string text) { return {Kind::Comment, std::move(text), {}}; }
Line E() { return {Kind::Blank, {}, {}}; }

// Blanks put around a line, inside the brackets of a header and around the '=' of a key.
struct Decoration {
  const char *label;
  const char *outside;
  const char *inside;
  const char *aroundEquals;
};

const Decoration kDecorations[] = {
    {"plain", "", "", ""},
    {"spaces", "  \t", " ", " \t"},
    {"vt-ff", "\v\f", "\f", "\v"},
    {"mixed", " \f", "\t\v", "\f "},
};

struct LineEnd {
  const char *label;
  const char *text;
};

const LineEnd kLineEnds[] = {{"crlf", "\r\n"}, {"lf", "\n"}, {"cr", "\r"}};

std::string Render(const std::vector<Line> &lines, const Decoration &d, const char *eol,
                   bool lastBreak) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line &l = lines[i];
    switch (l.kind) {
    case Kind::Header:
      out += std::string(d.outside) + "[" + d.inside + l.name + d.inside + "]" + d.outside;
      break;
    case Kind::Key:
      out += std::string(d.outside) + l.name + d.aroundEquals + "=" + d.aroundEquals + l.value +
             d.outside;
      break;
    case Kind::Bare:
      out += std::string(d.outside) + l.name + d.outside;
      break;
    case Kind::Comment:
      out += l.name;
      break;
    case Kind::Blank:
      break;
    }
    if (i + 1 < lines.size() || lastBreak) out += eol;
  }
  return out;
}

// GBK text as UTF-16 with a byte-order mark, in either byte order.
std::string Utf16(const std::string &gbk, bool bigEndian) {
  std::u16string wide;
  bool lossy = false;
  platform::MultiByteToWide(936, gbk, &wide, &lossy);
  std::string out = bigEndian ? "\xfe\xff" : "\xff\xfe";
  for (char16_t c : wide) {
    char lo = static_cast<char>(c & 0xff), hi = static_cast<char>(c >> 8);
    out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return out;
}

IniOperation Write(std::string s, std::string k, std::string v) { return {s, k, v}; }
IniOperation DeleteKey(std::string s, std::string k) { return {s, k, std::nullopt}; }
IniOperation DeleteSection(std::string s) { return {s, std::nullopt, std::nullopt}; }

using Ops = std::vector<IniOperation>;

// The calls the download manager makes, and their neighbours.
const std::vector<Ops> kDownloadOps = {
    {Write("DownloadImage", "File", "/img/new.bin")},
    {Write("downloadimage", "FILE", "C:\\img\\b.bin")},
    {Write("DownloadImage", "Mode", "7")},
    {Write("DownloadImageUFI", "File", "")},
    {Write(" DownloadImage\t", "\vFile\f", "v")},
    {DeleteKey("DownloadImage", "File")},
    {DeleteKey("DOWNLOADIMAGE", "Absent")},
    {DeleteSection("DownloadImage")},
    {DeleteSection("Absent")},
    {Write("DownloadImage", "File", "a"), Write("DownloadImage", "File", "b")},
    {Write("New", "k", "1"), DeleteKey("DownloadImage", "File"), Write("New", "k", "2")},
};

const std::vector<Ops> kGbkSectionOps = {
    {Write(kGbkLower, "k", "v")},
    {Write(kGbkUpper, "k", "v")},
    {Write(kGbkUpper, "K", "w")},
    {DeleteSection(kGbkLower)},
    {DeleteSection(kGbkUpper)},
    {DeleteKey(kGbkLower, "k")},
    {Write(kGbkBracket, "k", "1"), Write(kGbkBracket, "k", "2")},
    {Write(kGbkBracket, "n", "1"), DeleteSection(kGbkBracket)},
    {Write(kGbkTest, kGbkResult, kGbkTest)},
};

const std::vector<Ops> kGbkKeyOps = {
    {Write("S", kGbkLower, "v")},
    {Write("S", kGbkUpper, "v")},
    {DeleteKey("S", kGbkLower)},
    {DeleteKey("S", kGbkUpper)},
    {Write("S", kGbkBracket, "1"), Write("S", kGbkBracket, "2")},
    {Write("s", kGbkResult, kGbkTest)},
};

struct Shape {
  const char *label;
  std::vector<Line> lines;
  const std::vector<Ops> *ops;
};

std::vector<Shape> Shapes() {
  const std::string longText(5000, 'x'); // beyond the 4 KiB buffers of old readers
  return {
      {"download", {H("DownloadImage"), K("File", "/img/a.bin"), K("Mode", "2"),
                    H("DownloadImageUFI"), K("File", "/img/u.bin")}, &kDownloadOps},
      {"other-section-only", {H("Other"), K("File", "keep")}, &kDownloadOps},
      {"bare-key", {H("DownloadImage"), B("File"), K("Mode", "2")}, &kDownloadOps},
      {"bare-key-after-key", {H("DownloadImage"), K("Mode", "2"), B("file")}, &kDownloadOps},
      {"bare-key-other-section", {H("A"), B("File"), H("DownloadImage"), K("Mode", "2")},
       &kDownloadOps},
      {"duplicate-sections", {H("DownloadImage"), K("Mode", "1"), H("downloadimage"),
                              K("File", "x"), H("DOWNLOADIMAGE"), K("File", "y")}, &kDownloadOps},
      {"duplicate-keys", {H("DownloadImage"), K("file", "1"), K("FILE", "2"), B("File")},
       &kDownloadOps},
      {"comments-blank-lines", {C("; station settings"), E(), H("DownloadImage"), C("; image"),
                                K("File", "old"), E(), E(), H("X"), K("y", "1"), E()},
       &kDownloadOps},
      {"keys-before-sections", {K("File", "top"), B("Mode"), H("DownloadImage"), K("Mode", "1")},
       &kDownloadOps},
      {"header-oddities", {C("[DownloadImage"), K("File", "0"), C("[DownloadImage] ; note"),
                           K("Mode", "1"), C(" [B]=x"), K("File", "2")}, &kDownloadOps},
      {"long-lines", {H("DownloadImage"), C("; " + longText), K("File", longText),
                      H("B"), K("k", longText.substr(0, 3000))}, &kDownloadOps},
      {"gbk-value", {H(kGbkTest), K(kGbkResult, kGbkTest), H("DownloadImage"),
                     K("File", kGbkTest)}, &kDownloadOps},
      {"gbk-case-sections", {H(kGbkUpper), K("k", "1"), H(kGbkLower), K("k", "2")},
       &kGbkSectionOps},
      {"gbk-lower-only", {H(kGbkLower), K("k", "1"), H("Z"), K("k", "9")}, &kGbkSectionOps},
      {"gbk-bracket-section", {H(kGbkBracket), K("k", "0"), H("B"), K("k", "2")},
       &kGbkSectionOps},
      {"gbk-case-keys", {H("S"), K(kGbkUpper, "1"), K(kGbkLower, "2"), K(kGbkBracket, "3")},
       &kGbkKeyOps},
      {"gbk-bare-keys", {H("S"), B(kGbkLower), B(kGbkBracket), H("T"), K("x", "1")}, &kGbkKeyOps},
  };
}

std::string Hex(const std::optional<std::string> &s) {
  if (!s) return "-";
  if (s->empty()) return ".";
  std::string out;
  char buf[3];
  for (unsigned char c : *s) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out;
}

// Case i's id ("0042"); its files are named "0042.ini".
std::string CaseId(size_t index) {
  char id[24];
  std::snprintf(id, sizeof id, "%04zu", index);
  return id;
}
std::string CaseFileName(size_t index) { return CaseId(index) + ".ini"; }

// The same list on every call and every machine.
std::vector<IniCase> GenerateIniCases() {
  std::vector<IniCase> cases;
  const std::vector<Shape> shapes = Shapes();
  for (size_t s = 0; s < shapes.size(); ++s) {
    const Shape &shape = shapes[s];
    for (const LineEnd &eol : kLineEnds) {
      for (size_t di = 0; di < std::size(kDecorations); ++di) {
        const Decoration &d = kDecorations[di];
        // Every kind of blank with Windows line ends, two of them with each of the others.
        if (eol.text[1] == 0 && di % 2 != (eol.text[0] == '\n' ? 0 : 1)) continue;
        // The last line loses its break in every other shape.
        bool lastBreak = (s + di) % 2 == 0;
        std::string file = Render(shape.lines, d, eol.text, lastBreak);
        for (size_t i = 0; i < shape.ops->size(); ++i) {
          cases.push_back({std::string(shape.label) + "/" + eol.label + "/" + d.label +
                               (lastBreak ? "" : "/no-final-break") + "/op" + std::to_string(i),
                           file, (*shape.ops)[i], std::nullopt, {}});
        }
      }
    }
    // UTF-16 files: little-endian for every shape, big-endian for the first one; lone CR
    // line ends for every other shape.
    for (int bigEndian = 0; bigEndian < 2; ++bigEndian) {
      if (bigEndian && s > 0) continue;
      for (const LineEnd &eol : kLineEnds) {
        if (eol.text[0] == '\n' || (eol.text[1] == 0 && s % 2 == 1)) continue;
        std::string file = Utf16(Render(shape.lines, kDecorations[2], eol.text, true), bigEndian);
        for (size_t i = 0; i < shape.ops->size(); ++i)
          cases.push_back({std::string(shape.label) + (bigEndian ? "/utf16be/" : "/utf16le/") +
                               eol.label + "/op" + std::to_string(i),
                           file, (*shape.ops)[i], std::nullopt, {}});
      }
    }
  }

  // Files that do not exist yet, or hold nothing but a byte-order mark.
  for (const Ops &ops : kDownloadOps) {
    if (!ops.front().key || !ops.front().value) continue; // deletions: see below
    cases.push_back({"missing-file", std::nullopt, ops, std::nullopt, {}});
    cases.push_back({"empty-file", std::string(), ops, std::nullopt, {}});
    cases.push_back({"utf16le-bom-only", std::string("\xff\xfe"), ops, std::nullopt, {}});
  }
  // Single files with one oddity each.
  const std::string longName(300, 'n');
  const struct {
    const char *name;
    std::string file;
    Ops ops;
  } odd[] = {
      {"value-with-line-break", "[S]\r\nk=1\r\n", {Write("S", "k", "a\r\nb=2")}},
      {"lead-byte-before-lf", "[A]\r\nx=1\x81\ny=2\r\n", {Write("A", "y", "3")}},
      {"lead-byte-before-cr", "[A]\r\nx=1\x81\r\ny=2\r\n", {Write("A", "y", "3")}},
      {"end-of-file-marks", "\x1a[A]\x1a\r\nx=1\x1a\r\n", {Write("A", "x", "2")}},
      {"ideographic-space-is-no-blank", "\xa1\xa1[A]\r\nx=1\r\n", {Write("A", "x", "2")}},
      {"comment-named-like-key", "[A]\r\n;x=1\r\n; c\r\n", {Write("A", ";x", "v")}},
      {"comment-deleted-by-name", "[A]\r\n;x=1\r\n; c\r\nk=1\r\n", {DeleteKey("A", "; c")}},
      {"empty-key-name", "[A]\r\n=1\r\n", {Write("A", "y", "2")}},
      {"header-with-tail", "[A]=\r\nx=1\r\n[B] junk\r\n", {Write("A", "y", "2"), Write("b", "z", "3")}},
      {"inner-blanks-of-names", "[ A  B ]\r\nk  l=1\r\n", {Write("A  B", "k  l", "2"), Write("a b", "k", "3")}},
      {"value-blanks", "[A]\r\nx=1\r\n", {Write("A", "x", "  v  "), Write("A", "y", "\t")}},
      {"empty-value", "[A]\r\nx=1\r\n", {Write("A", "x", ""), Write("A", "z", "")}},
      {"equals-in-value", "[A]\r\nk=a=b\r\n", {Write("A", "k", "c=d")}},
      {"equals-in-key", "[A]\r\nk=a=b\r\n", {Write("A", "k=a", "c")}},
      {"header-without-bracket", "[A\r\nx=1\r\n", {Write("[A", "x", "2")}},
      {"keys-before-first-section", "k=0\r\n[A]\r\n", {DeleteKey("A", "k"), Write("A", "k", "1")}},
      {"section-of-blank-lines", "[A]\r\n\r\n\r\n[B]\r\n", {Write("A", "k", "v")}},
      {"blank-lines-lf", "\n\n[A]\n\nk=1\n\n", {DeleteKey("A", "k"), Write("A", "j", "v")}},
      {"write-then-delete", "[A]\r\nk=1\r\n[B]\r\n", {Write("A", "K", ""), DeleteKey("a", "k")}},
      {"long-names", "[" + longName + "]\r\n" + longName + "=1\r\n",
       {Write(longName, longName, "2"), Write(longName + "x", longName, "3")}},
  };
  for (const auto &o : odd) cases.push_back({o.name, o.file, o.ops, std::nullopt, {}});

  // Where Wine answers differently from Windows.
  const std::string utf8Bom = "\xef\xbb\xbf[DownloadImage]\r\nFile=old\r\n";
  const char *noFile = "Windows leaves an empty file after a deletion on a missing file, Wine none";
  const IniCase wineDiffers[] = {
      {"utf8-bom", utf8Bom, {Write("DownloadImage", "File", "new")},
       utf8Bom + "[DownloadImage]\r\nFile=new\r\n",
       "Wine reads a UTF-8 byte-order mark; Windows reads it as part of the first line, so that "
       "line is no section header"},
      {"second-bracket", "[A]b]\r\nk=1\r\n", {Write("A", "k", "2")}, "[A]b]\r\nk=2\r\n",
       "Wine ends a section name at the last ']' of the line, Windows at the first"},
      {"delete-key-missing-file", std::nullopt, {DeleteKey("A", "k")}, "", noFile},
      {"delete-section-missing-file", std::nullopt, {DeleteSection("A")}, "", noFile}};
  cases.insert(cases.end(), std::begin(wineDiffers), std::end(wineDiffers));
  return cases;
}

// The case list as the reference program reads it (names and values in hex).
std::string CaseManifest(const std::vector<IniCase> &cases) {
  std::string out;
  for (size_t i = 0; i < cases.size(); ++i) {
    const IniCase &c = cases[i];
    out += "case " + CaseId(i) + (c.file ? " present" : " missing") +
           (c.windowsResult ? " raw" : " canonical") + "\n";
    for (const IniOperation &op : c.operations)
      out += "op " + Hex(op.section) + " " + Hex(op.key) + " " + Hex(op.value) + "\n";
    out += "end\n";
  }
  return out;
}

using test::WriteBytes;

// A file's bytes; none for a file that is not there.
std::optional<std::string> ReadFile(const fs::path &path) {
  if (!fs::exists(path)) return std::nullopt;
  return test::ReadBytes(path);
}

const char *Pointer(const std::optional<std::string> &s) { return s ? s->c_str() : nullptr; }

// Runs one case with our writer on the file at path; returns each call's result (" 1 0 ...").
std::string ApplyOurs(const IniCase &c, const fs::path &path) {
  std::error_code ec;
  fs::remove(path, ec);
  if (c.file) WriteBytes(path, *c.file);
  std::string results;
  for (const IniOperation &op : c.operations) {
    bool ok = platform::WritePrivateProfileString(op.section.c_str(), Pointer(op.key),
                                                  Pointer(op.value), path.string());
    results += ok ? " 1" : " 0";
  }
  return results;
}

// The same with the writer's rules applied in memory: every call leaves a file, and succeeds.
std::string OurText(const IniCase &c) {
  std::string text = c.file.value_or("");
  for (const IniOperation &op : c.operations)
    text = platform::SetProfileValue(text, op.section, Pointer(op.key), Pointer(op.value));
  return text;
}

// Writes the case list, each case's file for the reference run (out/) and our writer's result
// (ours/, and a copy in canonical/ for the reference to rewrite). In memory, because a real
// write waits for the disk (CaseDirectoryHoldsWhatTheWriterDoesNow runs a sample on disk).
int Prepare(const fs::path &dir) {
  const std::vector<IniCase> cases = GenerateIniCases();
  fs::remove_all(dir);
  for (const char *sub : {"out", "ours", "canonical"}) fs::create_directories(dir / sub);
  WriteBytes(dir / "cases.txt", CaseManifest(cases));
  std::string results;
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string file = CaseFileName(i);
    if (cases[i].file) WriteBytes(dir / "out" / file, *cases[i].file);
    const std::string ours = OurText(cases[i]);
    WriteBytes(dir / "ours" / file, ours);
    WriteBytes(dir / "canonical" / file, ours);
    results += CaseId(i);
    for (size_t n = 0; n < cases[i].operations.size(); ++n) results += " 1";
    results += "\n";
  }
  WriteBytes(dir / "ours" / "results.txt", results);
  std::printf("%zu INI cases written to %s\n", cases.size(), dir.c_str());
  return 0;
}

// Bytes as C string text, so that a failure shows line ends and GBK bytes as they are.
std::string Escaped(const std::optional<std::string> &s, size_t limit = 400) {
  if (!s) return "(no file)";
  return ::testing::PrintToString(s->substr(0, limit)) +
         (s->size() > limit ? "...(" + std::to_string(s->size()) + " bytes)" : "");
}

#ifndef QRX_INI_PARITY_DIR
#error QRX_INI_PARITY_DIR names the case directory
#endif

// A results file: case id -> each call's result (" 1 0"); the reference's first line names the
// code page it ran in.
std::map<std::string, std::string> ReadResults(const fs::path &path, std::string *firstLine) {
  std::map<std::string, std::string> results;
  std::istringstream lines(ReadFile(path).value_or(""));
  std::string line;
  if (firstLine) std::getline(lines, *firstLine);
  while (std::getline(lines, line)) {
    const size_t space = line.find(' ');
    results[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space);
  }
  return results;
}

class IniParity : public ::testing::Test {
protected:
  void SetUp() override {
    if (std::strlen(QRX_INI_PARITY_MISSING) != 0)
      GTEST_SKIP() << "INI parity with Windows NOT CHECKED: " << QRX_INI_PARITY_MISSING
                   << " (scripts/install-deps.sh installs them)";
    ASSERT_TRUE(fs::exists(dir_ / "out" / "results.txt"))
        << "no reference results in " << dir_
        << ": run through ctest, whose fixtures prepare the cases and run Wine";
    reference_ = ReadResults(dir_ / "out" / "results.txt", &acp_);
  }

  const fs::path dir_ = QRX_INI_PARITY_DIR;
  std::string acp_;
  std::map<std::string, std::string> reference_; // case id -> results of the reference's calls
  const std::vector<IniCase> cases_ = GenerateIniCases();
};

// The case directory holds what our writer does now, not what an older build did, and the
// writer on disk does what it does in memory (a sample: each write waits for the disk).
TEST_F(IniParity, CaseDirectoryHoldsWhatTheWriterDoesNow) {
  size_t stale = 0, differing = 0;
  for (size_t i = 0; i < cases_.size(); ++i)
    if (ReadFile(dir_ / "ours" / CaseFileName(i)) != OurText(cases_[i])) ++stale;
  EXPECT_EQ(stale, 0u) << "cases whose stored result is not this build's: rerun the fixtures";

  const fs::path temp = dir_ / "on-disk";
  fs::create_directories(temp);
  for (size_t i = 0; i < cases_.size(); ++i) {
    if (i % 17 != 0 && cases_[i].file) continue;
    std::string results = ApplyOurs(cases_[i], temp / "x.ini");
    if (results.find('0') != std::string::npos || ReadFile(temp / "x.ini") != OurText(cases_[i]))
      ++differing;
  }
  fs::remove_all(temp);
  EXPECT_EQ(differing, 0u) << "cases the writer does differently on disk and in memory";
}

// The reference ran every case, in the GBK code page. What a Windows-rules reader finds after
// each case, and each call's result, are the reference's. Where Wine is known not to do what
// Windows does, ours must do what Windows does, and Wine must still differ (else the exception
// is no longer needed).
TEST_F(IniParity, EveryGeneratedCaseEndsAsWithTheSystemWriter) {
  EXPECT_EQ(acp_, "acp 936") << "Wine must run with the Chinese ANSI code page (LC_ALL=zh_CN.UTF-8)";
  EXPECT_EQ(platform::AnsiCodePage(), 936) << "run without QRX_ACP: the cases are GBK";
  EXPECT_EQ(reference_.size(), cases_.size()) << "the case directory is stale: rerun the fixtures";
  EXPECT_GE(cases_.size(), 1000u);
  std::map<std::string, std::string> ourResults = ReadResults(dir_ / "ours" / "results.txt", nullptr);

  size_t compared = 0, differing = 0, exceptions = 0;
  std::string report;
  for (size_t i = 0; i < cases_.size(); ++i) {
    const IniCase &c = cases_[i];
    const std::string file = CaseFileName(i);
    std::optional<std::string> ref = ReadFile(dir_ / "out" / file);
    if (c.windowsResult) {
      ++exceptions;
      EXPECT_EQ(ReadFile(dir_ / "ours" / file), c.windowsResult) << c.name << ": " << c.wineDiffers;
      EXPECT_NE(ref, c.windowsResult) << c.name << ": Wine now does what Windows does; drop the exception";
      continue;
    }
    ++compared;
    std::optional<std::string> mine = ReadFile(dir_ / "canonical" / file);
    bool same = ref == mine && reference_[CaseId(i)] == ourResults[CaseId(i)];
    if (same) continue;
    if (++differing <= 12)
      report += "\n" + CaseId(i) + " " + c.name + "\n  before:  " + Escaped(c.file) +
                "\n  system, rewritten:  " + Escaped(ref) + reference_[CaseId(i)] +
                "\n  ours, rewritten:    " + Escaped(mine) + ourResults[CaseId(i)] +
                "\n  ours:    " + Escaped(ReadFile(dir_ / "ours" / file));
  }
  std::printf("INI parity: %zu of %zu compared cases differ\n", differing, compared);
  EXPECT_EQ(differing, 0u) << report;
  EXPECT_EQ(exceptions, 4u);
}

} // namespace
} // namespace qrx::parity

int main(int argc, char **argv) {
  if (argc == 3 && std::strcmp(argv[1], "--prepare") == 0) {
    try {
      return qrx::parity::Prepare(argv[2]);
    } catch (const std::exception &e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
