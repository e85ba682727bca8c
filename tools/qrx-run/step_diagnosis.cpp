// Reads Common.xml as plain text (its sections and keys are ASCII element names) and follows
// the catalogue row of the export to say what was missing.
#include "step_diagnosis.h"

#include <fstream>
#include <sstream>

namespace qrx::tools {
namespace {

std::string Upper(std::string text) {
  for (char &c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// The text of <name>...</name> inside [begin, end) of xml, or nothing.
bool ElementText(const std::string &xml, size_t begin, size_t end, const std::string &name,
                 size_t *textBegin, size_t *textEnd) {
  const std::string open = "<" + name, close = "</" + name + ">";
  for (size_t at = xml.find(open, begin); at != std::string::npos && at < end;
       at = xml.find(open, at + 1)) {
    size_t after = at + open.size();
    if (after >= xml.size() || (xml[after] != '>' && xml[after] != ' ' && xml[after] != '\t'))
      continue; // <BandNumber> is not <Band>
    size_t gt = xml.find('>', after);
    if (gt == std::string::npos || gt >= end) return false;
    if (xml[gt - 1] == '/') { // <Key/>: present but empty
      *textBegin = *textEnd = gt;
      return true;
    }
    size_t stop = xml.find(close, gt);
    if (stop == std::string::npos || stop > end) return false;
    *textBegin = gt + 1;
    *textEnd = stop;
    return true;
  }
  return false;
}

const char *ServiceWords(const std::string &service) {
  if (service == "wifi") return "WiFi test library";
  if (service == "sn") return "serial-number manager";
  if (service == "download") return "download manager";
  return "test-library service";
}

} // namespace

std::string StepDiagnosis::MissingStagingName(const ExportRow &row, const std::string &xml) {
  for (const StagedKey &k : row.staged) {
    size_t sb = 0, se = 0, kb = 0, ke = 0;
    bool found = ElementText(xml, 0, xml.size(), k.section, &sb, &se) &&
                 ElementText(xml, sb, se, k.key, &kb, &ke) &&
                 xml.substr(kb, ke - kb).find_first_not_of(" \t\r\n") != std::string::npos;
    if (!found) return k.section + "/" + k.key;
  }
  return "";
}

std::string StepDiagnosis::Explain(const ExportRow &row, int result, const std::string &productType,
                                   const std::string &deploymentDir, const LibraryProbe &probe) {
  const std::string product = Upper(productType);
  if (result == 1) {
    if (product != "QRX" && product != "UFI")
      return "1: no station (the product type '" + productType + "' is neither QRX nor UFI)";
    if (row.service == "wifi" && product == "QRX")
      return "1: a QRX station has no WiFi test library (the export needs a UFI station)";
    if (!row.staged.empty()) {
      std::ifstream in(deploymentDir + "BusinessCfg/Common.xml", std::ios::binary);
      if (!in) return "1: BusinessCfg/Common.xml cannot be read, so no argument has a staging name";
      std::stringstream text;
      text << in.rdbuf();
      std::string missing = MissingStagingName(row, text.str());
      if (!missing.empty())
        return "1: no staging name for " + missing + " in BusinessCfg/Common.xml";
    }
    if (row.service == "sn" || row.service == "download")
      return "1: the " + std::string(ServiceWords(row.service)) + " reports a failure";
    return "1: station, service and staging names are in place; the test library answered 1";
  }
  if (result == -1 && !row.libraryFunction.empty()) {
    std::string lib = ExportCatalogueView::LibraryOfService(row.service);
    if (!lib.empty()) {
      std::string file = "TestDll/" + lib + ".so";
      switch (probe(file, row.libraryFunction)) {
      case Presence::kLibraryNotLoaded: return "-1: the test library " + file + " is not loaded";
      case Presence::kFunctionMissing:
        return "-1: the test library " + file + " has no function " + row.libraryFunction;
      case Presence::kFound: break;
      }
    }
    return "-1: " + row.libraryFunction + " is there; the test library answered -1";
  }
  if (row.service == "sn" || row.service == "download")
    return std::to_string(result) + ": the " + ServiceWords(row.service) + "'s result";
  return std::to_string(result) + ": the test library's result";
}

} // namespace qrx::tools
