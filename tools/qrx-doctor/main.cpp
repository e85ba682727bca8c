// qrx-doctor: checks a deployment directory (libQRXInterface.so, TestDll/, Plugins/,
// BusinessCfg/) against what the exports need, and prints one table row per check (or a JSON
// report). With --sequence it checks only what the given sequences call.
#include "../common/export_catalogue_view.h"
#include "../qrx-run/sequence_parser.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "journal/journal_format.h"
#include "platform/host_process.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace qrx::tools;
namespace host = qrx::platform::host;

namespace {

// A minimal XML element tree: enough to read setting files (elements, attributes, text).
struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;
  std::vector<std::unique_ptr<Element>> children;
  const Element *Child(const std::string &n) const {
    for (const auto &c : children)
      if (c->name == n) return c.get();
    return nullptr;
  }
};

class XmlReader {
public:
  explicit XmlReader(std::string s) : s_(std::move(s)) {}
  std::unique_ptr<Element> Root(std::string *error) {
    SkipMisc();
    auto root = ParseElement(0);
    if (!root) *error = error_.empty() ? "no root element" : error_;
    return root;
  }

private:
  void SkipMisc() {
    for (;;) {
      while (p_ < s_.size() && isspace(static_cast<unsigned char>(s_[p_]))) ++p_;
      if (s_.compare(p_, 4, "<!--") == 0) p_ = Skip("-->");
      else if (s_.compare(p_, 2, "<?") == 0) p_ = Skip("?>");
      else if (s_.compare(p_, 2, "<!") == 0) p_ = Skip(">");
      else if (s_.compare(p_, 3, "\xEF\xBB\xBF") == 0) p_ += 3;
      else return;
    }
  }
  size_t Skip(const char *end) {
    size_t e = s_.find(end, p_);
    return e == std::string::npos ? s_.size() : e + std::string(end).size();
  }
  std::string Name() {
    size_t b = p_;
    while (p_ < s_.size() && !isspace(static_cast<unsigned char>(s_[p_])) && s_[p_] != '>' &&
           s_[p_] != '/' && s_[p_] != '=')
      ++p_;
    return s_.substr(b, p_ - b);
  }
  std::unique_ptr<Element> ParseElement(int depth) {
    if (depth > 64 || p_ >= s_.size() || s_[p_] != '<') return nullptr;
    ++p_;
    auto e = std::make_unique<Element>();
    e->name = Name();
    if (e->name.empty()) return error_ = "element without a name", nullptr;
    for (;;) {
      while (p_ < s_.size() && isspace(static_cast<unsigned char>(s_[p_]))) ++p_;
      if (p_ >= s_.size()) return error_ = "unterminated element " + e->name, nullptr;
      if (s_.compare(p_, 2, "/>") == 0) { p_ += 2; return e; }
      if (s_[p_] == '>') { ++p_; break; }
      std::string attr = Name();
      if (p_ >= s_.size() || s_[p_] != '=') return error_ = "bad attribute in " + e->name, nullptr;
      ++p_;
      char q = p_ < s_.size() ? s_[p_] : 0;
      if (q != '"' && q != '\'') return error_ = "unquoted attribute in " + e->name, nullptr;
      size_t end = s_.find(q, p_ + 1);
      if (end == std::string::npos) return error_ = "unterminated attribute in " + e->name, nullptr;
      e->attributes[attr] = s_.substr(p_ + 1, end - p_ - 1);
      p_ = end + 1;
    }
    for (;;) {
      size_t lt = s_.find('<', p_);
      if (lt == std::string::npos) return error_ = "element " + e->name + " is not closed", nullptr;
      e->text += s_.substr(p_, lt - p_);
      p_ = lt;
      if (s_.compare(p_, 4, "<!--") == 0) { p_ = Skip("-->"); continue; }
      if (s_.compare(p_, 9, "<![CDATA[") == 0) {
        size_t end = s_.find("]]>", p_);
        if (end == std::string::npos) return error_ = "unterminated CDATA", nullptr;
        e->text += s_.substr(p_ + 9, end - p_ - 9);
        p_ = end + 3;
        continue;
      }
      if (s_.compare(p_, 2, "</") == 0) {
        p_ += 2;
        std::string n = Name();
        if (n != e->name) return error_ = "</" + n + "> closes <" + e->name + ">", nullptr;
        p_ = Skip(">");
        return e;
      }
      auto child = ParseElement(depth + 1);
      if (!child) return nullptr;
      e->children.push_back(std::move(child));
    }
  }
  std::string s_;
  size_t p_ = 0;
  std::string error_;
};

std::unique_ptr<Element> LoadXml(const std::string &path, std::string *error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return *error = "missing", nullptr;
  std::stringstream text;
  text << in.rdbuf();
  return XmlReader(text.str()).Root(error);
}

std::string Trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// The checks' results: printed as table rows as they come, or gathered for --json.
struct Report {
  int gaps = 0;
  bool verbose = false;
  bool json = false;
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  // Exports whose needs are checked; empty: all of them.
  std::set<std::string> scope;

  bool InScope(const ExportRow &row) const { return scope.empty() || scope.count(row.name) > 0; }
  void Print(const std::string &check, const std::string &item, const char *state,
             const std::string &detail) {
    rows.push_back({{"check", check}, {"item", item}, {"state", state}, {"detail", detail}});
    if (!json) std::printf("%-16s %-44s %-4s %s\n", check.c_str(), item.c_str(), state, detail.c_str());
  }
  void Row(const std::string &check, const std::string &item, bool ok, const std::string &detail = "") {
    if (!ok) ++gaps;
    if (ok && !verbose) return;
    Print(check, item, ok ? "ok" : "GAP", ok ? "" : detail);
  }
  // A check that passed, shown in the short listing too.
  void Passed(const std::string &check, const std::string &item) {
    if (!verbose) Print(check, item, "ok", "");
  }
  void Summary(const std::string &check, const std::string &item, int checked, int failed) {
    Print(check, item, failed ? "GAP" : "ok",
          std::to_string(checked) + " checked, " + std::to_string(failed) + " missing");
  }
};

void CheckCommonXml(const std::string &dir, Report &r) {
  std::string error;
  auto root = LoadXml(dir + "BusinessCfg/Common.xml", &error);
  if (!root) return r.Row("Common.xml", "BusinessCfg/Common.xml", false, error);
  auto nameOf = [&](const StagedKey &k) {
    const Element *s = root->Child(k.section);
    const Element *e = s ? s->Child(k.key) : nullptr;
    return e ? Trim(e->text) : std::string();
  };
  std::set<std::pair<std::string, std::string>> seen;
  int checked = 0, failed = 0;
  for (const ExportRow &row : ExportCatalogueView::Rows()) {
    if (!r.InScope(row)) continue;
    for (const StagedKey &k : row.staged) {
      if (!seen.insert({k.section, k.key}).second) continue;
      ++checked;
      bool ok = !nameOf(k).empty();
      if (!ok) ++failed;
      r.Row("Common.xml", k.section + "/" + k.key, ok, "no staging name (used by " + row.name + ")");
    }
  }
  r.Summary("Common.xml", "staged section/key pairs", checked, failed);

  // Two arguments of one export under the same data-set name: the second staging overwrites
  // the first, and the test library reads one argument's value for both.
  int collisions = 0;
  for (const ExportRow &row : ExportCatalogueView::Rows()) {
    if (!r.InScope(row)) continue;
    std::map<std::string, std::string> owner; // data-set name -> section/key
    for (const StagedKey &k : row.staged) {
      const std::string name = nameOf(k);
      if (name.empty()) continue;
      const std::string key = k.section + "/" + k.key;
      auto [it, added] = owner.emplace(name, key);
      if (!added) {
        ++collisions;
        r.Row("Common.xml", row.name + ": " + name, false,
              it->second + " and " + key + " share the data-set name '" + name + "'");
      }
    }
  }
  if (!collisions) r.Passed("Common.xml", "no two arguments share a data-set name");
}

void CheckLibraries(const std::string &dir, Report &r) {
  std::map<std::string, std::set<std::string>> needed;
  for (const ExportRow &row : ExportCatalogueView::Rows()) {
    if (!r.InScope(row)) continue;
    std::string lib = ExportCatalogueView::LibraryOfService(row.service);
    if (!lib.empty()) needed[lib].insert(row.libraryFunction);
  }
  for (const auto &[lib, functions] : needed) {
    std::string path = dir + "TestDll/" + lib + host::LibrarySuffix();
    std::string error;
    void *h = host::OpenLibrary(path, false, &error);
    if (!h) {
      r.Row("test library", "TestDll/" + lib + host::LibrarySuffix(), false, error);
      continue;
    }
    int failed = 0;
    for (const std::string &f : functions) {
      bool ok = host::FindSymbol(h, f.c_str()) != nullptr;
      if (!ok) ++failed;
      r.Row("test library", lib + ": " + f, ok, ok ? "" : "not exported");
    }
    r.Summary("test library", lib + host::LibrarySuffix(), static_cast<int>(functions.size()), failed);
    host::CloseLibrary(h);
  }
}

void CheckExports(const std::string &dir, Report &r, const std::string &name,
                  const std::vector<const char *> &symbols, const char *check) {
  const std::string fileName = name + host::LibrarySuffix();
  const char *file = fileName.c_str();
  std::string path = dir + file;
  std::string error;
  void *h = host::OpenLibrary(path, false, &error);
  if (!h) return r.Row(check, file, false, error);
  std::string missing;
  for (const char *s : symbols)
    if (!host::FindSymbol(h, s)) missing += std::string(missing.empty() ? "" : ", ") + s;
  r.Row(check, file, missing.empty(), "does not export " + missing);
  if (missing.empty()) r.Passed(check, file);
  host::CloseLibrary(h);
}

void CheckBusinessConfig(const std::string &dir, const std::string &file, int stations, Report &r) {
  std::string error;
  auto root = LoadXml(dir + "BusinessCfg/" + file, &error);
  std::string where = "BusinessCfg/" + file;
  if (!root) return r.Row("business config", where, false, error);
  int before = r.gaps;
  r.Row("business config", file + ": root element", root->name == "phone",
        "the root is <" + root->name + ">, the library reads <phone>");
  for (const char *attr : {"model", "mode", "platform"})
    r.Row("business config", file + ": phone@" + attr, root->attributes.count(attr) > 0, "attribute missing");
  for (const char *section : {"CommonConfig", "SpecialSettings", "BASEINFO"})
    r.Row("business config", file + ": " + section, root->Child(section) != nullptr, "section missing");
  const Element *common = root->Child("CommonConfig");
  const Element *special = root->Child("SpecialSettings");
  for (const char *key : {"BIPhoneType", "TransferType"}) {
    bool ok = (common && common->Child(key)) || (special && special->Child(key));
    r.Row("business config", file + ": " + key, ok, "needed in CommonConfig or SpecialSettings");
  }
  const Element *base = root->Child("BASEINFO");
  for (int n = 1; n <= stations && base; ++n)
    for (const char *key : {"nGPIBAddress", "nDeviceAddress"}) {
      std::string k = key + std::to_string(n);
      r.Row("business config", file + ": BASEINFO/" + k, base->Child(k) != nullptr,
            "tester address of station " + std::to_string(n));
    }
  if (r.gaps == before) r.Passed("business config", where);
}

} // namespace

int main(int argc, char **argv) {
  std::string dir;
  std::vector<std::string> configs, sequences;
  int stations = 4;
  Report report;
  CLI::App app{"Checks a deployment directory against what the library's exports need: staging "
               "names in BusinessCfg/Common.xml, test-library functions, plug-in and instrument "
               "entry points, business-configuration files. Exit status 1 on any gap."};
  app.name("qrx-doctor");
  app.set_version_flag("--version", std::string("qrx-doctor ") + QRX_VERSION);
  app.add_flag("-v,--verbose", report.verbose, "list every check, not only the gaps");
  app.add_flag("--json", report.json, "print the checks as one JSON document");
  app.add_option("--stations", stations, "stations whose BASEINFO addresses must exist")
      ->check(CLI::Range(1, 64));
  app.add_option("--config", configs, "business-configuration file in BusinessCfg to check "
                                      "(repeatable; default: every one there)");
  app.add_option("--sequence", sequences, "check only what this qrx-run sequence calls (repeatable)")
      ->check(CLI::ExistingFile);
  app.add_option("DEPLOYMENT_DIR", dir, "the deployment directory")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  for (const std::string &path : sequences) {
    std::string error;
    auto sequence = SequenceParser::ParseFile(path, &error);
    if (!sequence) {
      std::fprintf(stderr, "qrx-doctor: %s\n", error.c_str());
      return 2;
    }
    for (const SequenceStep &step : sequence->steps)
      if (step.row) report.scope.insert(step.row->name);
    // A sequence without calls still needs the station itself.
    report.scope.insert("InitQRXInterface");
  }
  if (dir.back() != '/') dir += '/';
  if (!report.json) std::printf("%-16s %-44s %-4s %s\n", "check", "item", "", "detail");
  // Plug-ins may link the interface library; load it first so they find it.
  std::string selfError;
  void *self = host::OpenLibrary(dir + host::InterfaceLibraryFile(), true, &selfError);
  report.Row("library", host::InterfaceLibraryFile(), self != nullptr, selfError);
  if (self) report.Passed("library", host::InterfaceLibraryFile());
  CheckCommonXml(dir, report);
  CheckLibraries(dir, report);
  CheckExports(dir, report, "Plugins/BI_QRX", {"Create", "LoadQRXDll"}, "plug-in");
  CheckExports(dir, report, "Plugins/BI_QRX_UFI_NET", {"Create", "LoadQRXDll"}, "plug-in");
  CheckExports(dir, report, "Plugins/BI_GSM_QRX", {"Create"}, "plug-in");
  CheckExports(dir, report, "Plugins/XA_BIAR9344", {"Create"}, "plug-in");
  CheckExports(dir, report, "TestDll/QRXNSigInstrument", {"GetQRXCalInstrInterface", "ReleaseInstrument"}, "instrument");
  CheckExports(dir, report, "TestDll/QRXTESTSETPXI3000", {"GetQRXCalInstrInterface", "ReleaseInstrument"}, "instrument");
  if (configs.empty()) {
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(dir + "BusinessCfg", ec)) {
      std::string n = e.path().filename().string();
      // Common.xml and the journal's Recording.xml are no business configurations.
      if (n.size() > 4 && n.substr(n.size() - 4) == ".xml" && n != "Common.xml" &&
          n != qrx::journal::recording::kFileName)
        configs.push_back(n);
    }
    std::sort(configs.begin(), configs.end());
    if (configs.empty()) report.Row("business config", "BusinessCfg/*.xml", false, "no business-configuration file");
  }
  for (const std::string &c : configs) CheckBusinessConfig(dir, c, stations, report);
  if (report.json) {
    nlohmann::ordered_json document = {{"deployment", dir},
                                       {"ok", report.gaps == 0},
                                       {"gaps", report.gaps},
                                       {"checks", report.rows}};
    std::printf("%s\n", document.dump(2).c_str());
  } else {
    std::printf("%s: %d gap(s)\n", report.gaps ? "DEPLOYMENT INCOMPLETE" : "DEPLOYMENT OK", report.gaps);
  }
  return report.gaps ? 1 : 0;
}
