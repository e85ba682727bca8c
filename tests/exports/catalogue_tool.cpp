// Prints what the tests derive from the export catalogue: the export names (for the symbol
// check of the built library), the entry points of the recording test library, and a call
// table that calls every export with typed arguments. Links nothing but the catalogue header,
// so the generated sources follow the table without anyone restating it.
#include "interface/export_catalogue.h"

#include <cstdio>
#include <set>
#include <string>
#include <string_view>

namespace {

void PrintNames() {
  for (const qrx::ExportRow &row : qrx::kExportCatalogue)
    std::printf("%.*s\n", static_cast<int>(row.name.size()), row.name.data());
}

// One QRX_RECORDING_ENTRY line per distinct library function any row calls.
void PrintRecordingEntries() {
  std::set<std::string_view> functions;
  for (const qrx::ExportRow &row : qrx::kExportCatalogue)
    if (!row.libraryFunction.empty()) functions.insert(row.libraryFunction);
  std::printf("// Generated from the export catalogue: every library function an export calls.\n");
  for (std::string_view f : functions)
    std::printf("QRX_RECORDING_ENTRY(%.*s)\n", static_cast<int>(f.size()), f.data());
}

// The argument expression for position i of type letter c.
std::string Argument(char c, size_t i) {
  const std::string n = std::to_string(i);
  switch (c) {
  case qrx::argument_type::kInt: return "a.ints[" + n + "]";
  case qrx::argument_type::kDouble: return "a.doubles[" + n + "]";
  case qrx::argument_type::kText: return "a.texts[" + n + "]";
  case qrx::argument_type::kTextBuffer: return "a.buffers[" + n + "]";
  case qrx::argument_type::kDoubleOut: return "a.doubleOuts[" + n + "]";
  case qrx::argument_type::kCallback: return "a.callbacks[" + n + "]";
  case qrx::argument_type::kObserver: return "a.observers[" + n + "]";
  }
  return "?";
}

// A switch over the row index calling the export as the public header declares it: a row
// whose argument letters disagree with the declaration does not compile.
void PrintCallTable() {
  std::printf("// Generated from the export catalogue: calls export `row` with `a`.\n"
              "#include \"export_call.h\"\n\n"
              "#include <qrx/qrx_interface.h>\n\n"
              "namespace qrx::test {\n\n"
              "int CallExport(size_t row, const ExportArguments &a) {\n"
              "  (void)a;\n"
              "  switch (row) {\n");
  for (size_t r = 0; r < qrx::kExportCount; ++r) {
    const qrx::ExportRow &row = qrx::kExportCatalogue[r];
    std::string call = "::" + std::string(row.name) + "(";
    for (size_t i = 0; i < row.arguments.size(); ++i) {
      if (i) call += ", ";
      call += Argument(row.arguments[i], i);
    }
    call += ")";
    std::printf("  case %zu: return %s;\n", r, call.c_str());
  }
  std::printf("  }\n  return kNoSuchRow;\n}\n\n} // namespace qrx::test\n");
}

} // namespace

int main(int argc, char **argv) {
  const std::string_view mode = argc > 1 ? argv[1] : "";
  if (mode == "names") PrintNames();
  else if (mode == "recording-entries") PrintRecordingEntries();
  else if (mode == "call-table") PrintCallTable();
  else {
    std::fprintf(stderr, "usage: %s names|recording-entries|call-table\n", argv[0]);
    return 2;
  }
  return 0;
}
