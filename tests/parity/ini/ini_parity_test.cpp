// Our INI writer against the system's own WritePrivateProfileStringA run under Wine, case by case.
// "--prepare <dir>" writes the cases and our results for the reference run; without it the
// program is the test suite that compares the two.
#include "ini_cases.h"

#include "platform/code_page.h"
#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace qrx::parity {
namespace {

std::optional<std::string> ReadFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path &path, const std::string &data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

const char *Pointer(const std::optional<std::string> &s) { return s ? s->c_str() : nullptr; }

// Runs one case with our writer on the file at path; returns each call's result (" 1 0 ...").
std::string ApplyOurs(const IniCase &c, const fs::path &path) {
  std::error_code ec;
  fs::remove(path, ec);
  if (c.file) WriteFile(path, *c.file);
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
  WriteFile(dir / "cases.txt", CaseManifest(cases));
  std::string results;
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string file = CaseFileName(i);
    if (cases[i].file) WriteFile(dir / "out" / file, *cases[i].file);
    const std::string ours = OurText(cases[i]);
    WriteFile(dir / "ours" / file, ours);
    WriteFile(dir / "canonical" / file, ours);
    results += file.substr(0, 4);
    for (size_t n = 0; n < cases[i].operations.size(); ++n) results += " 1";
    results += "\n";
  }
  WriteFile(dir / "ours" / "results.txt", results);
  std::printf("%zu INI cases written to %s\n", cases.size(), dir.c_str());
  return 0;
}

// Bytes as C string text, so that a failure shows line ends and GBK bytes as they are.
std::string Escaped(const std::optional<std::string> &s, size_t limit = 400) {
  if (!s) return "(no file)";
  std::string out = "\"";
  for (size_t i = 0; i < s->size() && i < limit; ++i) {
    unsigned char c = static_cast<unsigned char>((*s)[i]);
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '"' || c == '\\') out += std::string("\\") + static_cast<char>(c);
    else if (c >= 0x20 && c < 0x7f) out += static_cast<char>(c);
    else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  if (s->size() > limit) out += "...(" + std::to_string(s->size()) + " bytes)";
  return out + "\"";
}

#ifndef QRX_INI_PARITY_DIR
#error QRX_INI_PARITY_DIR names the case directory
#endif

class IniParity : public ::testing::Test {
protected:
  void SetUp() override {
    if (std::strlen(QRX_INI_PARITY_MISSING) != 0)
      GTEST_SKIP() << "INI parity with Windows NOT CHECKED: " << QRX_INI_PARITY_MISSING
                   << " (scripts/install-deps.sh installs them)";
    dir_ = QRX_INI_PARITY_DIR;
    std::optional<std::string> results = ReadFile(dir_ / "out" / "results.txt");
    ASSERT_TRUE(results) << "no reference results in " << dir_
                         << ": run through ctest, whose fixtures prepare the cases and run Wine";
    std::istringstream lines(*results);
    std::string line;
    std::getline(lines, line);
    acp_ = line;
    while (std::getline(lines, line)) {
      size_t space = line.find(' ');
      reference_[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space);
    }
    cases_ = GenerateIniCases();
  }

  std::string Id(size_t i) const { return CaseFileName(i).substr(0, 4); }

  fs::path dir_;
  std::string acp_;
  std::map<std::string, std::string> reference_; // case id -> results of the reference's calls
  std::vector<IniCase> cases_;
};

TEST_F(IniParity, ReferenceRanEveryCaseInTheGbkCodePage) {
  EXPECT_EQ(acp_, "acp 936") << "Wine must run with the Chinese ANSI code page (LC_ALL=zh_CN.UTF-8)";
  EXPECT_EQ(platform::AnsiCodePage(), 936) << "run without QRX_ACP: the cases are GBK";
  EXPECT_EQ(reference_.size(), cases_.size()) << "the case directory is stale: rerun the fixtures";
  EXPECT_GE(cases_.size(), 1000u);
}

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

// What a Windows-rules reader finds after each case, and each call's result, are the reference's.
TEST_F(IniParity, EveryGeneratedCaseEndsAsWithTheSystemWriter) {
  std::optional<std::string> ours = ReadFile(dir_ / "ours" / "results.txt");
  ASSERT_TRUE(ours);
  std::map<std::string, std::string> ourResults;
  std::istringstream lines(*ours);
  for (std::string line; std::getline(lines, line);)
    ourResults[line.substr(0, 4)] = line.substr(4);

  size_t compared = 0, differing = 0;
  std::map<std::string, size_t> perShape;
  std::string report;
  for (size_t i = 0; i < cases_.size(); ++i) {
    if (cases_[i].windowsResult) continue;
    ++compared;
    const std::string file = CaseFileName(i);
    std::optional<std::string> ref = ReadFile(dir_ / "out" / file);
    std::optional<std::string> mine = ReadFile(dir_ / "canonical" / file);
    bool same = ref == mine && reference_[Id(i)] == ourResults[Id(i)];
    if (same) continue;
    ++differing;
    ++perShape[cases_[i].name.substr(0, cases_[i].name.find('/'))];
    if (differing <= 12)
      report += "\n" + Id(i) + " " + cases_[i].name + "\n  before:  " + Escaped(cases_[i].file) +
                "\n  system, rewritten:  " + Escaped(ref) + reference_[Id(i)] +
                "\n  ours, rewritten:    " + Escaped(mine) + ourResults[Id(i)] +
                "\n  ours:    " + Escaped(ReadFile(dir_ / "ours" / file));
  }
  std::string shapes;
  for (const auto &[shape, n] : perShape) shapes += " " + shape + ":" + std::to_string(n);
  std::printf("INI parity: %zu of %zu compared cases differ\n", differing, compared);
  EXPECT_EQ(differing, 0u) << "cases differing per shape:" << shapes << report;
}

// The few places where Wine is known not to do what Windows does: ours must do what Windows
// does, and Wine must still differ (else the exception is no longer needed).
TEST_F(IniParity, WhereWineDiffersFromWindowsWeFollowWindows) {
  size_t exceptions = 0;
  for (size_t i = 0; i < cases_.size(); ++i) {
    const IniCase &c = cases_[i];
    if (!c.windowsResult) continue;
    ++exceptions;
    const std::string file = CaseFileName(i);
    EXPECT_EQ(Escaped(ReadFile(dir_ / "ours" / file)), Escaped(c.windowsResult))
        << c.name << ": " << c.wineDiffers;
    EXPECT_NE(Escaped(ReadFile(dir_ / "out" / file)), Escaped(c.windowsResult))
        << c.name << ": Wine now does what Windows does; drop the exception";
  }
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
