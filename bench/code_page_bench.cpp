// Code-page conversion speed against a memcpy of the same text, in one run: 10 MiB of mostly
// ASCII GBK text to UTF-16 and back and to UTF-8, 10 MiB of mostly ASCII UTF-8 (a settings
// file) to GBK, and the cost of each character that cannot be converted, through the tables
// and through iconv.
#include "platform/code_page.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

using namespace qrx::platform;

constexpr size_t kTextBytes = 10u << 20;
constexpr int kLostCharacters = 100000;

// XML-like lines of ASCII with a short Chinese value now and then, as setting files hold.
const std::string &Gbk() {
  static const std::string text = [] {
    std::string t;
    t.reserve(kTextBytes + 256);
    for (int i = 0; t.size() < kTextBytes; ++i) {
      t += "\t<Key" + std::to_string(i) + " unit=\"dB\" limit=\"-12.5\">" + std::to_string(i * 7);
      if (i % 8 == 0) t += "\xB2\xE2\xCA\xD4\xBD\xE1\xB9\xFB"; // 测试结果
      t += "</Key" + std::to_string(i) + ">\r\n";
    }
    t.resize(kTextBytes);
    return t;
  }();
  return text;
}

const std::u16string &Wide() {
  static const std::u16string wide = [] {
    std::u16string w;
    MultiByteToWide(936, Gbk(), &w, nullptr);
    return w;
  }();
  return wide;
}

const std::string &Utf8() {
  static const std::string utf8 = [] {
    std::string u;
    WideToMultiByte(65001, Wide(), &u, nullptr);
    return u;
  }();
  return utf8;
}

void BM_Memcpy(benchmark::State &state) {
  const std::string &in = Gbk();
  std::string out(in.size(), '\0');
  for (auto _ : state) {
    std::memcpy(out.data(), in.data(), in.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_GbkToWide(benchmark::State &state) {
  std::u16string out;
  for (auto _ : state) {
    MultiByteToWide(936, Gbk(), &out, nullptr);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Gbk().size()));
}

void BM_WideToGbk(benchmark::State &state) {
  std::string out;
  for (auto _ : state) {
    WideToMultiByte(936, Wide(), &out, nullptr);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != Gbk()) state.SkipWithError("round trip differs");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Gbk().size()));
}

// A UTF-8 setting file read into the ANSI code page: the direct path.
void BM_Utf8ToGbk(benchmark::State &state) {
  std::string out;
  for (auto _ : state) {
    ConvertCodePage(65001, 936, Utf8(), &out, nullptr);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != Gbk()) state.SkipWithError("conversion differs");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Utf8().size()));
}

// Saving mostly-ASCII GBK text as UTF-8: the direct path.
void BM_GbkToUtf8(benchmark::State &state) {
  std::string out;
  for (auto _ : state) {
    ConvertCodePage(936, 65001, Gbk(), &out, nullptr);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != Utf8()) state.SkipWithError("conversion differs");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Gbk().size()));
}

// The same through UTF-16, as MultiByteToWideChar and WideCharToMultiByte are called.
void BM_Utf8ToWideToGbk(benchmark::State &state) {
  std::u16string wide;
  std::string out;
  for (auto _ : state) {
    MultiByteToWide(65001, Utf8(), &wide, nullptr);
    WideToMultiByte(936, wide, &out, nullptr);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != Gbk()) state.SkipWithError("conversion differs");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Utf8().size()));
}

// Text where every other character cannot be converted (Thai letters into GBK, into CP852
// through a table made from iconv, into EUC-KR through iconv itself):
// the time per lost character.
void LostCharacters(benchmark::State &state, int codePage) {
  std::u16string in;
  for (int i = 0; i < kLostCharacters; ++i) in += u"a\u0E01";
  std::string out;
  bool lossy = false;
  for (auto _ : state) {
    WideToMultiByte(codePage, in, &out, &lossy);
    benchmark::DoNotOptimize(out.data());
  }
  if (!lossy || out.size() != 2u * kLostCharacters) state.SkipWithError("loss not reported");
  state.SetItemsProcessed(state.iterations() * kLostCharacters);
}
void BM_LostCharacterTable(benchmark::State &state) { LostCharacters(state, 936); }
void BM_LostCharacterIconvTable(benchmark::State &state) { LostCharacters(state, 852); }
void BM_LostCharacterIconv(benchmark::State &state) { LostCharacters(state, 51949); }

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GbkToWide)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WideToGbk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Utf8ToGbk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GbkToUtf8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Utf8ToWideToGbk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LostCharacterTable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LostCharacterIconvTable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LostCharacterIconv)->Unit(benchmark::kMicrosecond);

// Prints each conversion of the 10 MiB text as a multiple of the memcpy, and the time per
// lost character; CPU time, which other work on a shared machine disturbs less than wall time.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double base = times_["BM_Memcpy"];
    for (const char *name : {"BM_GbkToWide", "BM_WideToGbk", "BM_Utf8ToGbk", "BM_GbkToUtf8", "BM_Utf8ToWideToGbk"})
      if (times_.count(name) && base > 0) std::printf("%s / BM_Memcpy: %.2f\n", name, times_[name] / base);
    // Reported in microseconds per run of kLostCharacters characters.
    for (const char *name : {"BM_LostCharacterTable", "BM_LostCharacterIconvTable", "BM_LostCharacterIconv"})
      if (times_.count(name))
        std::printf("%s: %.1f ns per lost character (upper bound: the text's other half included)\n", name,
                    times_[name] * 1000.0 / kLostCharacters);
  }

private:
  std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char **argv) {
  mallopt(M_TRIM_THRESHOLD, -1);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
