// Parse throughput of the XML document next to pugixml and tinyxml2 on the same generated
// documents (a 10 MB settings-like file and a deeply nested one), with the ratio to each.
#include "xml/xml_document.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <pugixml.hpp>
#include <tinyxml2.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

// Thousands of sections of keys with attributes, as business-configuration files look,
// with some GBK text ("测试" and "频段") in values and attributes.
const std::string &SettingsDocument() {
  static const std::string doc = [] {
    std::string s = "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n"
                    "<phone model=\"QRX-1\" mode=\"FT\" platform=\"MTK\">\r\n";
    for (int sec = 0; s.size() < 10u << 20; ++sec) {
      s += "<Section" + std::to_string(sec) + " enabled=\"1\" desc=\"\xB2\xE2\xCA\xD4\">\r\n";
      for (int k = 0; k < 40; ++k) {
        s += "<Key" + std::to_string(k) + " unit=\"dBm\" min=\"-" + std::to_string(k) +
             ".5\" max=\"" + std::to_string(k * 3) + "\">";
        if (k % 7 == 0) s += "\xC6\xB5\xB6\xCE " + std::to_string(k);
        else if (k % 11 == 0) s += "a &lt; b &amp; c";
        else s += std::to_string(sec * 1000 + k);
        s += "</Key" + std::to_string(k) + ">\r\n";
      }
      s += "<!-- end of section -->\r\n</Section" + std::to_string(sec) + ">\r\n";
    }
    s += "</phone>\r\n";
    return s;
  }();
  return doc;
}

// Subtrees nested 90 deep (tinyxml2 refuses more than 100 levels), about 4 MB in all.
const std::string &NestedDocument() {
  static const std::string doc = [] {
    std::string s = "<root>";
    while (s.size() < 4u << 20) {
      for (int i = 0; i < 90; ++i) s += "<level n=\"" + std::to_string(i) + "\">";
      s += "leaf";
      for (int i = 0; i < 90; ++i) s += "</level>";
    }
    s += "</root>";
    return s;
  }();
  return doc;
}

const std::string &Document(int which) { return which == 0 ? SettingsDocument() : NestedDocument(); }

void BM_Qrx(benchmark::State &state) {
  const std::string &text = Document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    qrx::CXmlDocument doc;
    bool ok = doc.SetDocument(text.c_str());
    if (!ok) state.SkipWithError("not well-formed");
    benchmark::DoNotOptimize(ok);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.size());
}

void BM_Pugixml(benchmark::State &state) {
  const std::string &text = Document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    pugi::xml_document doc;
    auto result = doc.load_buffer(text.data(), text.size());
    if (!result) state.SkipWithError("pugixml failed");
    benchmark::DoNotOptimize(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.size());
}

void BM_Tinyxml2(benchmark::State &state) {
  const std::string &text = Document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    tinyxml2::XMLDocument doc;
    if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) state.SkipWithError("tinyxml2 failed");
    benchmark::DoNotOptimize(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.size());
}

BENCHMARK(BM_Qrx)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pugixml)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tinyxml2)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Keeps each run's time per iteration so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &r : runs)
      if (!r.error_occurred && r.iterations > 0) seconds[r.benchmark_name()] = r.GetAdjustedRealTime();
  }
  std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char **argv) {
  mallopt(M_TRIM_THRESHOLD, -1);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const char *names[] = {"settings (10 MB)", "nested (4 MB)"};
  for (int which = 0; which < 2; ++which) {
    auto find = [&](const char *engine) {
      auto it = reporter.seconds.find(std::string(engine) + "/" + std::to_string(which));
      return it == reporter.seconds.end() ? 0.0 : it->second; // in the benchmarks' unit
    };
    double qrx = find("BM_Qrx"), pugi = find("BM_Pugixml"), tiny = find("BM_Tinyxml2");
    if (qrx <= 0) continue;
    double mb = Document(which).size() / 1e6, ms = 1e-3;
    std::printf("%-18s CXmlDocument %7.1f MB/s | pugixml %7.1f MB/s (%.2fx our time) | "
                "tinyxml2 %7.1f MB/s (%.2fx our time)\n",
                names[which], mb / (qrx * ms), pugi > 0 ? mb / (pugi * ms) : 0.0,
                pugi > 0 ? qrx / pugi : 0.0, tiny > 0 ? mb / (tiny * ms) : 0.0,
                tiny > 0 ? qrx / tiny : 0.0);
  }
  benchmark::Shutdown();
  return 0;
}
