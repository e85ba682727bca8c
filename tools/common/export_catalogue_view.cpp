// The rows are kept as text, one line per export, so that a reader can check one export at a
// glance; they are parsed once.
#include "export_catalogue_view.h"

#include <sstream>

namespace qrx::tools {
namespace {

const char kTable[] =
#include "export_table.inc"
    ;

std::vector<std::string> Split(const std::string &line, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(line);
  std::string part;
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!line.empty() && line.back() == separator) parts.emplace_back();
  return parts;
}

std::vector<ExportRow> Parse() {
  std::vector<ExportRow> rows;
  std::stringstream in(kTable);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    auto fields = Split(line, '|');
    fields.resize(5);
    ExportRow row;
    row.name = fields[0];
    for (char c : fields[1]) row.args.push_back(static_cast<ArgType>(c));
    row.service = fields[2];
    row.libraryFunction = fields[3];
    std::stringstream staged(fields[4]);
    std::string pair;
    while (staged >> pair) {
      auto slash = pair.find('/');
      row.staged.push_back({pair.substr(0, slash), pair.substr(slash + 1)});
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

} // namespace

std::string ExportRow::CallSignature() const {
  std::string signature;
  for (ArgType t : args)
    signature += t == ArgType::kInt ? 'i' : t == ArgType::kDouble ? 'd' : 'p';
  return signature;
}

const std::vector<ExportRow> &ExportCatalogueView::Rows() {
  static const std::vector<ExportRow> rows = Parse();
  return rows;
}

const ExportRow *ExportCatalogueView::Find(const std::string &name) {
  for (const ExportRow &row : Rows())
    if (row.name == name) return &row;
  return nullptr;
}

std::string ExportCatalogueView::LibraryOfService(const std::string &service) {
  if (service == "cal") return "TestDllQRXCal";
  if (service == "gsm") return "GsmFt";
  if (service == "td") return "TDFT";
  if (service == "lte") return "FinalTestLTE";
  if (service == "wifi") return "WiFi_DLL";
  return "";
}

} // namespace qrx::tools
