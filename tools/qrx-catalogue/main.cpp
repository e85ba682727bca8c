// Writes what the export catalogue knows for readers outside the library: the export reference
// (docs/export-reference.md) and the catalogue the Python package checks its calls against.
//
//   qrx-catalogue reference HEADER COMMON_XML   Markdown reference on standard output
//   qrx-catalogue json HEADER                   the same rows as JSON
//
// HEADER is include/qrx/qrx_interface.h (argument names come from its prototypes), COMMON_XML
// the simulated station's BusinessCfg/Common.xml (the data-set name of every section/key).
#include "interface/export_catalogue.h"
#include "interface/read_back_sizes.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using qrx::ExportRow;
using qrx::ExportShape;
using qrx::ExportService;

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Export name -> argument declarations as the header writes them ("int Band", "char *out").
std::map<std::string, std::vector<std::string>> Prototypes(const std::string &header) {
  std::map<std::string, std::vector<std::string>> result;
  // "int QRX_CALL Name(...)": the calling-convention macro may stand before the name.
  static const std::regex prototype(R"(\bint\s+(?:QRX_CALL\s+)?(\w+)\s*\(([^)]*)\)\s*;)");
  for (auto it = std::sregex_iterator(header.begin(), header.end(), prototype);
       it != std::sregex_iterator(); ++it) {
    std::string list = std::regex_replace((*it)[2].str(), std::regex(R"(\s+)"), " ");
    std::vector<std::string> arguments;
    if (list != "void" && !list.empty()) {
      std::stringstream parts(list);
      for (std::string part; std::getline(parts, part, ',');) {
        size_t first = part.find_first_not_of(' '), last = part.find_last_not_of(' ');
        arguments.push_back(part.substr(first, last - first + 1));
      }
    }
    result[(*it)[1].str()] = arguments;
  }
  return result;
}

// "Section/Key" -> data-set name, from a Common.xml whose sections hold one key per element.
std::map<std::string, std::string> StagingNames(const std::string &xml) {
  std::map<std::string, std::string> names;
  static const std::regex element(R"(<(\w+)>([^<]*)</(\w+)>|<(\w+)>|</(\w+)>)");
  std::vector<std::string> open;
  std::string text = std::regex_replace(xml, std::regex(R"(<!--[\s\S]*?-->|<\?[\s\S]*?\?>)"), "");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), element);
       it != std::sregex_iterator(); ++it) {
    const std::smatch &m = *it;
    if (m[1].matched) {
      if (open.size() == 2) names[open[1] + "/" + m[1].str()] = m[2].str();
    } else if (m[4].matched) {
      open.push_back(m[4].str());
    } else if (!open.empty()) {
      open.pop_back();
    }
  }
  return names;
}

std::string LibraryFile(ExportService service) {
  switch (service) {
  case ExportService::kCal: return "TestDll/TestDllQRXCal.so";
  case ExportService::kGsmFt: return "TestDll/GsmFt.so";
  case ExportService::kTdFt: return "TestDll/TDFT.so";
  case ExportService::kLteFt: return "TestDll/FinalTestLTE.so";
  case ExportService::kWifi: return "TestDll/WiFi_DLL.so";
  case ExportService::kSnManager: return "serial-number manager (BI_QRX.so / BI_QRX_UFI_NET.so)";
  case ExportService::kDownloadManager: return "download manager (BI_QRX.so / BI_QRX_UFI_NET.so)";
  case ExportService::kTestTools: return "hub";
  case ExportService::kNone: return "station registry";
  }
  return "";
}

// The results an export of this shape can return, besides the test library's own values.
std::string Results(const ExportRow &row) {
  switch (row.shape) {
  case ExportShape::kLifecycle:
    return row.name == "InitQRXInterface"
               ? "0 station made, or the index already has one, or the product type is unknown (no station); 1 a null argument, or a test library, plug-in or SN object failed to load (station torn down)"
               : "0 (also without a station); 1 an unexpected failure";
  case ExportShape::kObserver: return "0 done; 1 no station, or the hub refused";
  case ExportShape::kPlain: return "library's result; 1 no station/service; -1 no library/function";
  case ExportShape::kStaged:
  case ExportShape::kOptionalOffset:
    return "library's result; 1 no station/service or staging name missing; -1 no library/function";
  case ExportShape::kSerialCheckA:
    return "library's result; 0 and the serial number copied; 1 for \"FFFFFFFFFFFF\" (buffer untouched); 1 no station/service; -1 no library/function";
  case ExportShape::kSerialCheckB:
    return "library's result; 0 and the serial number copied; 0 for \"FFFFFFFFFFFF\" (buffer untouched); 1 no station/service; -1 no library/function";
  case ExportShape::kReadBarcode:
    return "library's result; 0 and the \"Sn\" text copied (even empty); 1 no station/service or staging name missing; -1 no library/function";
  case ExportShape::kReadPower:
    return "library's result; 0 and \"Power\" read; -1 \"Power\" missing, no library/function; 1 no station/service";
  case ExportShape::kManager:
    if (row.operation == qrx::ManagerOperation::kOpenPort)
      return "0 success; 1 failure or no station/manager; UFI stations also 2 to 5 (port opening steps)";
    return "0 success; 1 failure or no station/manager";
  }
  return "";
}

std::string Escape(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '|') out += "\\|";
    else out += c;
  }
  return out;
}

std::string TypeName(char type) {
  switch (type) {
  case 'i': return "int";
  case 'd': return "double";
  case 's': return "const char *";
  case 'b': return "char *";
  case 'p': return "double *";
  case 'c': return "QRXDownloadCallback";
  case 'o': return "ILogObserver *";
  }
  return "?";
}

std::vector<std::string> ArgumentsOf(const ExportRow &row,
                                     const std::map<std::string, std::vector<std::string>> &protos) {
  auto found = protos.find(std::string(row.name));
  if (found != protos.end() && found->second.size() == row.arguments.size()) return found->second;
  std::vector<std::string> arguments;
  for (char c : row.arguments) arguments.push_back(TypeName(c));
  return arguments;
}

std::string ArgumentName(const std::string &declaration) {
  size_t end = declaration.find_last_not_of(' ');
  size_t start = declaration.find_last_of(" *", end);
  return declaration.substr(start == std::string::npos ? 0 : start + 1);
}

int Reference(const std::string &headerPath, const std::string &commonPath) {
  const auto protos = Prototypes(ReadFile(headerPath));
  const auto names = StagingNames(ReadFile(commonPath));
  std::ostream &out = std::cout;
  out << "# Export reference\n\n"
         "Generated from the library's export catalogue by `qrx-catalogue reference`; do not edit.\n"
         "Regenerate with `cmake --build build --target export_reference_update`.\n\n"
         "Each export works on the calling thread's station. *Staged* lists, in staging order, the\n"
         "section/key each argument is staged under (`#n` is the argument's position, `0.0` the\n"
         "constant offset) and the data-set name the simulated station's `BusinessCfg/Common.xml`\n"
         "gives it; a deployment's own `Common.xml` may name them differently. Numbers reach the\n"
         "test library as text: `%d` for integers, `%f` (six decimals) for doubles.\n"
         "*Library function* is the function of the test library that the export calls with the hub;\n"
         "for serial-number and download exports, the manager operation. *Buffer* is the most a read\n"
         "export writes into the host's buffer (see `qrx/qrx_interface.h`).\n\n";
  out << "Every export returns 1 for a null text argument, buffer or double pointer, except\n"
         "`StartDownloadImage`, which takes a null text as an empty one (a null or empty image\n"
         "path is refused by the download manager).\n\n";
  out << "| Export | Arguments | Staged (section/key = data-set name) | Library function | Library file | Results | Buffer |\n"
         "| --- | --- | --- | --- | --- | --- | --- |\n";
  for (const ExportRow &row : qrx::kExportCatalogue) {
    const auto arguments = ArgumentsOf(row, protos);
    std::string args;
    for (size_t i = 0; i < arguments.size(); ++i) args += (i ? ", " : "") + arguments[i];
    std::string staged;
    for (const qrx::StagedEntry &entry : row.staged) {
      std::string key = std::string(entry.section) + "/" + std::string(entry.key);
      auto name = names.find(key);
      std::string what = entry.argument == 0 ? std::string("0.0")
                                             : "#" + std::to_string(entry.argument) + " " +
                                                   ArgumentName(arguments[entry.argument - 1]);
      staged += (staged.empty() ? "" : "<br>") + what + ": " + key + " = " +
                (name != names.end() ? "`" + name->second + "`" : "(not in Common.xml)");
    }
    std::string function = row.shape == ExportShape::kManager
                               ? std::string(qrx::ManagerOperationName(row.operation))
                               : std::string(row.libraryFunction);
    std::string buffer;
    if (const qrx::ReadBackSize *size = qrx::FindReadBackSize(row.name))
      buffer = size->bytes ? std::to_string(size->bytes) + " (`" + std::string(size->macro) + "`)"
                           : std::string(size->note);
    else if (row.shape == ExportShape::kReadPower)
      buffer = "one double";
    out << "| `" << row.name << "` | " << Escape(args) << " | " << Escape(staged) << " | "
        << (function.empty() ? "" : "`" + function + "`") << " | " << LibraryFile(row.service)
        << " | " << Escape(Results(row)) << " | " << Escape(buffer) << " |\n";
  }
  return 0;
}

int Json(const std::string &headerPath) {
  const auto protos = Prototypes(ReadFile(headerPath));
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (const ExportRow &row : qrx::kExportCatalogue) {
    const auto arguments = ArgumentsOf(row, protos);
    nlohmann::ordered_json names = nlohmann::ordered_json::array();
    for (const std::string &a : arguments) names.push_back(ArgumentName(a));
    nlohmann::ordered_json staged = nlohmann::ordered_json::array();
    for (const qrx::StagedEntry &entry : row.staged)
      staged.push_back({{"section", entry.section}, {"key", entry.key}, {"argument", entry.argument}});
    nlohmann::ordered_json item = {{"name", row.name},
                                   {"arguments", row.arguments},
                                   {"argument_names", names},
                                   {"shape", qrx::ShapeName(row.shape)},
                                   {"service", qrx::ServiceName(row.service)},
                                   {"library_function", row.libraryFunction},
                                   {"operation", qrx::ManagerOperationName(row.operation)},
                                   {"unit", qrx::UnitRoleName(row.unit)},
                                   {"staged", staged}};
    if (const qrx::ReadBackSize *size = qrx::FindReadBackSize(row.name))
      item["buffer_size"] = size->bytes ? size->bytes : QRX_READBACK_BUFFER_SIZE;
    rows.push_back(item);
  }
  std::cout << rows.dump(1) << "\n";
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  try {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--version") {
      std::cout << "qrx-catalogue " << QRX_VERSION << "\n";
      return 0;
    }
    if (command == "reference" && argc == 4) return Reference(argv[2], argv[3]);
    if (command == "json" && argc == 3) return Json(argv[2]);
    std::cerr << "usage: qrx-catalogue reference HEADER COMMON_XML | json HEADER | --version\n";
    return 2;
  } catch (const std::exception &error) {
    std::cerr << "qrx-catalogue: " << error.what() << "\n";
    return 1;
  }
}
