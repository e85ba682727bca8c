// qrx-report: writes the line report (yields, failure Pareto, distributions, retests, unit
// records) of a results source as one self-contained HTML file.
#include "report_builder.h"
#include "unit_source.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>

int main(int argc, char **argv) {
  CLI::App app{"qrx-report: one HTML file with yield, failure Pareto, measurement distributions, "
               "retests and every unit's record, readable offline"};
  app.set_version_flag("--version", std::string("qrx-report ") + QRX_VERSION);
  std::string url, out = "report.html", title = "Line report";
  size_t bins = 20;
  app.add_option("--db", url,
                 "the units: a results store (postgresql://..., sqlite:PATH, FILE.db) or a "
                 "JSON-lines file of unit records (qrx-run --json)")->required();
  app.add_option("-o,--output", out, "the HTML file to write ('-' for standard output)");
  app.add_option("--title", title, "the report's title");
  app.add_option("--bins", bins, "bars per histogram")->check(CLI::Range(1, 200));
  CLI11_PARSE(app, argc, argv);

  std::string error;
  auto units = qrx::web::LoadUnits(url, &error);
  if (!error.empty()) {
    std::cerr << "qrx-report: " << error << "\n";
    return 1;
  }
  qrx::web::ReportOptions options;
  options.title = title;
  options.source = url;
  options.histogramBins = bins;
  std::string html = qrx::web::ReportBuilder(options).Build(units);
  if (out == "-") {
    std::cout << html;
    return std::cout ? 0 : 1;
  }
  // Written beside and renamed, so a report open in a browser is never half replaced.
  std::string temp = out + ".tmp";
  {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    file << html;
    file.flush();
    if (!file) {
      std::cerr << "qrx-report: cannot write " << temp << "\n";
      std::remove(temp.c_str());
      return 1;
    }
  }
  if (std::rename(temp.c_str(), out.c_str()) != 0) {
    std::cerr << "qrx-report: cannot replace " << out << "\n";
    std::remove(temp.c_str());
    return 1;
  }
  std::cerr << "qrx-report: " << units.size() << " units -> " << out << "\n";
  return 0;
}
