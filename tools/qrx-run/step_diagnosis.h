// Why a step failed, in words for the line: for a 1, no station or which staging name is
// missing from Common.xml; for a -1, which library or function is missing.
#pragma once

#include "../common/export_catalogue_view.h"

#include <functional>
#include <string>

namespace qrx::tools {

class StepDiagnosis {
public:
  enum class Presence { kFound, kLibraryNotLoaded, kFunctionMissing };
  // Tells whether the loaded test library file ("TestDll/GsmFt.so") exports function.
  using LibraryProbe = std::function<Presence(const std::string &file, const std::string &function)>;

  // deploymentDir ends with a separator. Returns the reason for result of row on a station
  // of productType.
  static std::string Explain(const ExportRow &row, int result, const std::string &productType,
                             const std::string &deploymentDir, const LibraryProbe &probe);

  // The first staged section/key of row that has no staging name in the Common.xml text,
  // as "Section/Key"; empty when all are there.
  static std::string MissingStagingName(const ExportRow &row, const std::string &commonXml);
};

} // namespace qrx::tools
