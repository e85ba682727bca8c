// How many bytes each read export may write into the host's buffer, beside the export catalogue
// so the reference document, the host tools and the Python package state the same sizes as
// qrx_interface.h. Checked at compile time: every buffer-taking export has exactly one row.
#pragma once

#include "interface/export_catalogue.h"

#include <qrx/qrx_interface.h>

#include <cstddef>
#include <iterator>
#include <string_view>

namespace qrx {

struct ReadBackSize {
  std::string_view exportName;
  std::string_view macro; // the constant of qrx_interface.h, empty when the plug-in decides
  size_t bytes;           // 0 when the plug-in decides
  std::string_view note;
};

inline constexpr ReadBackSize kReadBackSizes[] = {
    {"Check_SN", "QRX_READBACK_BUFFER_SIZE", QRX_READBACK_BUFFER_SIZE, "a longer serial number returns 1, buffer untouched"},
    {"CheckBarcode_LTEAT", "QRX_READBACK_BUFFER_SIZE", QRX_READBACK_BUFFER_SIZE, "a longer serial number returns 1, buffer untouched"},
    {"CheckBarcode_GSMFT", "QRX_READBACK_BUFFER_SIZE", QRX_READBACK_BUFFER_SIZE, "a longer serial number returns 1, buffer untouched"},
    {"CheckBarcode_TDAT", "QRX_READBACK_BUFFER_SIZE", QRX_READBACK_BUFFER_SIZE, "a longer serial number returns 1, buffer untouched"},
    {"ReadBarcode_Ufi", "QRX_READBACK_BUFFER_SIZE", QRX_READBACK_BUFFER_SIZE, "a longer barcode returns 1, buffer untouched"},
    {"ReadSN", "QRX_SN_BUFFER_SIZE", QRX_SN_BUFFER_SIZE, "at most 49 characters"},
    {"ReadIMEI", "QRX_IMEI_BUFFER_SIZE", QRX_IMEI_BUFFER_SIZE, "at most 15 digits"},
    {"ReadTestInfo", "QRX_TEST_INFO_BUFFER_SIZE", QRX_TEST_INFO_BUFFER_SIZE, "item 20: the whole flag string; other items 2 bytes"},
    {"ReadMAC", "QRX_TEXT_BUFFER_SIZE", QRX_TEXT_BUFFER_SIZE, "UFI stations; at most 63 characters"},
    {"ReadSSID", "QRX_TEXT_BUFFER_SIZE", QRX_TEXT_BUFFER_SIZE, "UFI stations; at most 63 characters"},
    {"ReadMSN", "", 0, "written by the plug-in; the simulated one writes at most 50 bytes"},
    {"ReadPSN16Bit", "", 0, "written by the plug-in; the simulated one writes at most 50 bytes"},
    {"ReadIntSoftVersion", "", 0, "written by the plug-in; the simulated one writes at most 50 bytes"},
    {"ReadTestInfo_AT", "", 0, "written by the plug-in; the simulated one writes at most 41 bytes"},
    {"ReadTestInfo_UFI", "", 0, "written by the plug-in; the simulated one writes at most 41 bytes"},
    {"ReadIntSoftVersion_UFI", "", 0, "written by the plug-in; the simulated one writes at most 50 bytes"},
};

inline constexpr size_t kReadBackSizeCount = std::size(kReadBackSizes);

// Position of `name`'s size row, kReadBackSizeCount when the export takes no buffer.
constexpr size_t IndexOfReadBackSize(std::string_view name) {
  for (size_t i = 0; i < kReadBackSizeCount; ++i)
    if (kReadBackSizes[i].exportName == name) return i;
  return kReadBackSizeCount;
}

// The size row of `name`, null when the export takes no buffer.
constexpr const ReadBackSize *FindReadBackSize(std::string_view name) {
  const size_t i = IndexOfReadBackSize(name);
  return i < kReadBackSizeCount ? &kReadBackSizes[i] : nullptr;
}

namespace read_back_detail {
constexpr bool TakesBuffer(const ExportRow &row) {
  return row.arguments.find(argument_type::kTextBuffer) != std::string_view::npos;
}
constexpr bool EveryBufferHasOneSize() {
  for (const ExportRow &row : kExportCatalogue)
    if (TakesBuffer(row) != (IndexOfReadBackSize(row.name) < kReadBackSizeCount)) return false;
  for (const ReadBackSize &size : kReadBackSizes) {
    const size_t i = IndexOfExport(size.exportName);
    if (i == kExportCount || !TakesBuffer(kExportCatalogue[i])) return false;
  }
  return true;
}
static_assert(EveryBufferHasOneSize(), "a buffer-taking export lacks its size, or a size names no such export");
} // namespace read_back_detail

} // namespace qrx
