// The one place of qrx-run that talks to the dynamic loader: the interface library as a host
// loads it, and the exports qrx-run calls by name besides a sequence's steps.
#pragma once

#include "step_diagnosis.h"

#include <string>

namespace qrx::tools {

class InterfaceLibrary {
public:
  // Loads the library; false with *error when it cannot be loaded or lacks
  // InitQRXInterface/CleanUpQRXInterface.
  bool Load(const std::string &path, std::string *error);
  void *Symbol(const std::string &name) const;

  int (*init)(int, const char *, const char *) = nullptr;
  int (*cleanup)() = nullptr;
  // The unit boundaries and the id the journal records a unit under; null in a library
  // without them.
  int (*beginUnit)(const char *) = nullptr;
  int (*endUnit)(int) = nullptr;
  int (*unitId)(char *, int) = nullptr;

  // Whether the library has already loaded the test library file and it exports function.
  static StepDiagnosis::Presence Probe(const std::string &file, const std::string &function);

private:
  void *handle_ = nullptr; // stays loaded: plug-in threads may still be winding down at exit
};

} // namespace qrx::tools
