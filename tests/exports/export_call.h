// Calls any export of the catalogue by row with typed arguments, so tests can walk the whole
// table. Argument i of a row is taken from the array of its type at index i.
#pragma once

#include <qrx/download_event.h>
#include <qrx/log_service.h>

#include <cstddef>
#include <cstdint>

namespace qrx::test {

inline constexpr size_t kMaxArguments = 20;
inline constexpr int kNoSuchRow = -12345;

struct ExportArguments {
  int32_t ints[kMaxArguments] = {};
  double doubles[kMaxArguments] = {};
  const char *texts[kMaxArguments] = {};
  char *buffers[kMaxArguments] = {};
  double *doubleOuts[kMaxArguments] = {};
  QRXDownloadCallback callbacks[kMaxArguments] = {};
  ILogObserver *observers[kMaxArguments] = {};
};

int CallExport(size_t row, const ExportArguments &a);

} // namespace qrx::test
