// The exports of libQRXInterface.so as the host tools need them: argument types for calling
// and checking, the service each reaches, and the section/key pairs each one stages.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qrx::tools {

enum class ArgType : char {
  kInt = 'i',
  kDouble = 'd',
  kText = 's',
  kTextBuffer = 'b', // caller's buffer that the export fills
  kDoubleOut = 'p',  // pointer to a double that the export fills
  kCallback = 'c',   // download progress callback
  kObserver = 'o',   // log observer
};

struct StagedKey {
  std::string section;
  std::string key;
};

struct ExportRow {
  std::string name;
  std::vector<ArgType> args;
  std::string service;         // cal, gsm, td, lte, wifi, sn, download, observer, lifecycle
  std::string libraryFunction; // test-library function called, empty for the others
  std::vector<StagedKey> staged;
  std::string managerOperation; // SN or download manager operation, empty for the others

  // Argument classes as the calling convention sees them: i, d, or p for any pointer.
  std::string CallSignature() const;
};

// An identity that an export programs into the device or reads back from it.
struct IdentityUse {
  std::string kind;   // "sn", "msn", "imei", "psn16bit", "mac", "ssid"
  bool write = false; // false: a read-back into the export's buffer
};

class ExportCatalogueView {
public:
  static const std::vector<ExportRow> &Rows();
  static const ExportRow *Find(const std::string &name);
  // Test library file (without extension) behind a service, empty when none.
  static std::string LibraryOfService(const std::string &service);
  // The identity an export writes or reads: its manager operation is Write<X> or Read<X> and
  // the catalogue has both operations for X (so test flags and software versions are none).
  static std::optional<IdentityUse> IdentityOf(const ExportRow &row);
};

} // namespace qrx::tools
