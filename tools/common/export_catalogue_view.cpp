// The tools' view of the library's export catalogue, built once from its constexpr rows.
#include "export_catalogue_view.h"

#include "interface/export_catalogue.h"

namespace qrx::tools {
namespace {

// The tools' names of the station field an export uses.
std::string ServiceOf(const qrx::ExportRow &row) {
  if (row.shape == qrx::ExportShape::kLifecycle) return "lifecycle";
  if (row.shape == qrx::ExportShape::kObserver) return "observer";
  return std::string(qrx::ServiceName(row.service));
}

std::vector<ExportRow> Build() {
  std::vector<ExportRow> rows;
  rows.reserve(qrx::kExportCount);
  for (const qrx::ExportRow &source : qrx::kExportCatalogue) {
    ExportRow row;
    row.name = source.name;
    for (char c : source.arguments) row.args.push_back(static_cast<ArgType>(c));
    row.service = ServiceOf(source);
    row.libraryFunction = source.libraryFunction;
    for (const qrx::StagedEntry &entry : source.staged)
      row.staged.push_back({std::string(entry.section), std::string(entry.key)});
    row.managerOperation = qrx::ManagerOperationName(source.operation);
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
  static const std::vector<ExportRow> rows = Build();
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

std::optional<IdentityUse> ExportCatalogueView::IdentityOf(const ExportRow &row) {
  const std::string &op = row.managerOperation;
  IdentityUse use;
  std::string what;
  if (op.rfind("Write", 0) == 0) {
    use.write = true;
    what = op.substr(5);
  } else if (op.rfind("Read", 0) == 0) {
    what = op.substr(4);
  } else {
    return std::nullopt;
  }
  const std::string counterpart = (use.write ? "Read" : "Write") + what;
  bool paired = false;
  for (const ExportRow &other : Rows())
    if (other.managerOperation == counterpart) paired = true;
  if (what.empty() || !paired) return std::nullopt;
  for (char c : what) use.kind += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return use;
}

} // namespace qrx::tools
